// SPDX-License-Identifier: GPL-3.0-or-later
// The progress window's cost per file: Step() alone (what the run pays between two files), and
// Step() with the repaint that follows in the run's DoEvents; with and without the launcher's
// signal on the session bus. Run under an X server (xcb) for real figures, and under
// dbus-run-session for the launcher's; without them it falls back to offscreen / no bus.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <string>

#include "linux/DesktopBus.h"
#include "linux/ProgressWindowLinux.h"
#include "window/ProgressReport.h"

namespace pictrane {
namespace {

using namespace linux_desktop;

std::unique_ptr<LauncherEntry> Launcher(bool On) {
  return On ? std::make_unique<LauncherEntry>() : nullptr;
}

void BM_Step(benchmark::State& State) {
  const bool WithLauncher = State.range(0) != 0;
  const bool WithRepaint = State.range(1) != 0;
  ProgressWindowLinux Window({}, Launcher(WithLauncher));
  ProgressReport Progress(Window);
  // As many as the end-to-end benchmark: the launcher's signal goes every second file.
  const std::size_t Total = 200;
  Progress.Begin(Total);
  QCoreApplication::processEvents();
  const std::string Names[] = {"holiday picture 1.bmp", "a much longer name of a bitmap.bmp"};
  std::size_t I = 0;
  for (auto _ : State) {
    ++I;
    Progress.Step(I % Total + 1, Names[I % 2]);
    if (WithRepaint) QCoreApplication::processEvents();
  }
  Progress.End(true);
  QCoreApplication::processEvents();
  State.SetLabel(std::string(QGuiApplication::platformName().toStdString()) +
                 (WithLauncher && SessionBusIfAny() ? ", bus" : ""));
}
BENCHMARK(BM_Step)
    ->ArgNames({"launcher", "repaint"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pictrane

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
  QApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
