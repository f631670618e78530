// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of a run's pace on X11, which e2e-throughput.sh sets the converter beside. Lists
// FOLDER as the run does, starts the capture tool as the converter does (the placeholder bitmap,
// the window maximised with the focus) and types every bitmap's file script into it, then the
// close keys, with the run's pauses paced by the run's own rule, but as a bare typist: each
// string's events queued with nothing but XTest and sent with the same closing round trip (a
// grab attempt let go at once), without a look at the focus, the keyboard or others' keys, and
// no picture looked at afterwards. Exits once the tool has ended: 0 when it ended by itself, with
// status 0, after the close keys. Prints the seconds from its start (where the converter's run
// starts at Convert) to the tool's end, which leaves out the loading of its own libraries.
//   bare_typist TOOL PLACEHOLDER FOLDER DEVICE-FOLDER
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BareXTest.h"
#include "conversion/BitmapListing.h"
#include "conversion/FileScript.h"
#include "conversion/Pacer.h"
#include "conversion/RunTimings.h"
#include "conversion/SendKeys.h"
#include "linux/FileSystemLinux.h"
#include "linux/ProcessesLinux.h"
#include "linux/X11Session.h"

// Last: Xlib's macros (None, Status) would clash with the names above.
#include <X11/Xlib.h>

extern char** environ;  // NOLINT(readability-identifier-naming): the C library's name

namespace {

using namespace pictrane;

pid_t Spawn(const std::string& Tool, const std::string& Placeholder) {
  std::vector<char*> Arguments{const_cast<char*>(Tool.c_str()),
                               const_cast<char*>(Placeholder.c_str()), nullptr};
  pid_t Child = 0;
  if (::posix_spawn(&Child, Tool.c_str(), nullptr, nullptr, Arguments.data(), environ) != 0)
    return 0;
  return Child;
}

// One string as the bare typist types it: the pause owed ends before its first event, and
// PauseMs start once the grab's reply has come.
bool TypeString(Display* D, Window Focus, Pacer& Pace, const KeyActions& Keys, int PauseMs) {
  Pace.Settle();
  if (!benchx11::QueueBare(D, Keys)) return false;
  const bool Grabbed = benchx11::GrabKeyboard(D, Focus);
  Pace.KeysHanded(PauseMs);
  if (Grabbed) benchx11::ReleaseKeyboard(D);
  return true;
}

}  // namespace

int main(int Count, char** Arguments) {
  if (Count != 5) {
    std::fprintf(stderr, "usage: bare_typist TOOL PLACEHOLDER FOLDER DEVICE-FOLDER\n");
    return 2;
  }
  const std::string Tool = Arguments[1], Placeholder = Arguments[2], Folder = Arguments[3],
                    DeviceFolder = Arguments[4];
  const RunTimings& T = kRunTimings;
  linux_desktop::ClockLinux Clock;
  const std::int64_t StartUs = Clock.NowUs();
  Pacer Pace(Clock);
  linux_desktop::DirectoryListingLinux Listing;
  const BitmapList Listed = ListBitmaps(Listing, Folder);
  // Every key string, planned before the tool starts: the program plans each bitmap's inside the
  // pause before it.
  std::vector<std::pair<ScriptStep, KeyActions>> Script;
  for (const std::string& Name : Listed.Bitmaps)
    for (ScriptStep& Step : FileScript(DeriveNames(Folder, "/", Name), DeviceFolder)) {
      KeyActions Keys = ParseKeys(Step.Keys);
      Script.emplace_back(std::move(Step), std::move(Keys));
    }
  // The run's pause once its list of bitmaps is written, before the tool starts.
  Pace.Whole(T.StartPauseMs);

  std::unique_ptr<linux_desktop::X11Session> Session = linux_desktop::X11Session::Open();
  const std::unique_ptr<Display, int (*)(Display*)> D(XOpenDisplay(nullptr), XCloseDisplay);
  const pid_t Child = D ? Spawn(Tool, Placeholder) : 0;
  if (Child == 0) {
    std::fprintf(stderr, "bare_typist: cannot start %s on the display\n", Tool.c_str());
    return 1;
  }
  if (!Session->ShowMaximisedWithFocus(static_cast<ProcessId>(Child), T.ToolWindowWaitMs)) {
    std::fprintf(stderr, "bare_typist: the tool's window never took the focus\n");
    ::kill(Child, SIGTERM);
    return 1;
  }
  Pace.KeysHanded(T.StartPauseMs);
  // The session (the program's own, which brings the window forward) goes: it would be sent the
  // raw event of every key and the focus changes, and a client that never reads its events
  // leaves the server buffering them.
  Session.reset();
  // The focus is looked up once; every string's grab goes to that window, or to the root where
  // the keys follow the pointer. A grab refused, or an error for a window gone, is still the
  // round trip: the typist only waits for its answer.
  Window Focus = 0;
  int Revert = 0;
  XGetInputFocus(D.get(), &Focus, &Revert);
  if (Focus == None || Focus == PointerRoot) Focus = DefaultRootWindow(D.get());
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });

  bool Typed = true;
  for (const auto& [Step, Keys] : Script) {
    Pace.Lengthen(Step.PauseBeforeMs);
    Typed = Typed && TypeString(D.get(), Focus, Pace, Keys, Step.PauseAfterMs);
  }
  // The converter's close keys, with no pause after them.
  Typed = Typed && TypeString(D.get(), Focus, Pace, ParseKeys("%{F4}"), 0);
  if (!Typed) {
    std::fprintf(stderr, "bare_typist: a key the bare typist has no keysym for\n");
    ::kill(Child, SIGTERM);
  }
  int Ended = 0;
  ::waitpid(Child, &Ended, 0);
  std::printf("%.3f\n", static_cast<double>(Clock.NowUs() - StartUs) / 1e6);
  return Typed && WIFEXITED(Ended) && WEXITSTATUS(Ended) == 0 ? 0 : 1;
}
