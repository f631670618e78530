// SPDX-License-Identifier: GPL-3.0-or-later
#include "standin_cable.h"

#include <glib.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Whether the program at port 2 has closed the cable: the library keys the cable's two
// shared-memory segments on /tmp and removes both on closing. Reopening before the second is gone
// would attach to it just before it is removed, and nothing sent would reach us.
bool CableClosed() {
  return shmget(ftok("/tmp", 0), 0, 0) == -1 && shmget(ftok("/tmp", 1), 0, 0) == -1;
}

}  // namespace

int ServeBeside(char** Command,
                const std::function<std::unique_ptr<StandInCalculator>(CableHandle*)>& Make) {
  // The libraries' log would mix with the tool's own lines, which the tests read.
  g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
  g_log_set_writer_func(
      [](GLogLevelFlags, const GLogField*, gsize, gpointer) { return G_LOG_WRITER_HANDLED; },
      nullptr, nullptr);
  ticables_library_init();
  CableHandle* Cable = ticables_handle_new(CABLE_VTI, PORT_1);
  if (Cable == nullptr || ticables_cable_open(Cable) != 0) {
    std::fprintf(stderr, "standin_calc: cannot open the virtual cable\n");
    return 125;
  }
  ticables_options_set_timeout(Cable, 20);
  const pid_t Child = fork();
  if (Child == 0) {
    execvp(Command[0], Command);
    std::perror("standin_calc: exec");
    _exit(126);
  }
  const std::unique_ptr<StandInCalculator> Calc = Make(Cable);
  int Status = 0;
  for (;;) {
    if (waitpid(Child, &Status, WNOHANG) == Child) break;
    if (Calc->Gone()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    CableStatus Waiting = STATUS_NONE;
    if (ticables_cable_check(Cable, &Waiting) == 0 && (Waiting & STATUS_RX) != 0) {
      Calc->Serve();
    } else if (CableClosed()) {
      ticables_cable_close(Cable);
      if (ticables_cable_open(Cable) != 0) break;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (!Calc->Gone()) ticables_cable_close(Cable);
  ticables_handle_del(Cable);
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : 125;
}
