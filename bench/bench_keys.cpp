// SPDX-License-Identifier: GPL-3.0-or-later
// Typing a path whose 48 letters (Greek capitals and small letters) are all missing from the
// keymap into the key recorder, a process of its own on an Xvfb of the benchmark's own. Times
// one key string from the call to the server having taken every key. "Fresh" opens a new session
// (so every letter needs a keycode mapped for it); "Again" types into the same session.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "X11TestSupport.h"
#include "typist/BareXTest.h"
#include "conversion/FileScript.h"
#include "conversion/Pacer.h"
#include "conversion/RunTimings.h"
#include "conversion/SendKeys.h"
#include "platform/KeyAction.h"
#include "linux/ProcessesLinux.h"
#include "linux/X11Session.h"

// Last: Xlib's macros (None, Status) would clash with the names above.
#include <X11/Xlib.h>

namespace {

using namespace x11test;

std::string GreekPath() {
  std::string Capitals, Small;
  for (char32_t C = 0x391; Capitals.size() < 48; ++C) {
    if (C == 0x3A2) continue;  // no capital final sigma
    Capitals += static_cast<char>(0xC0 | (C >> 6));
    Capitals += static_cast<char>(0x80 | (C & 0x3F));
  }
  for (char32_t C = 0x3B1; Small.size() < 48; ++C) {
    Small += static_cast<char>(0xC0 | (C >> 6));
    Small += static_cast<char>(0x80 | (C & 0x3F));
  }
  return "/home/ann/" + Capitals + "/" + Small + ".bmp";
}

// A session whose keys go to Recorder, which has the focus; none (the benchmark skipped) when the
// recorder never came up or never took the focus.
std::unique_ptr<pictrane::linux_desktop::X11Session> SessionTypingInto(KeyRecorder& Recorder,
                                                                       benchmark::State& State) {
  if (Recorder.WaitUntilReady() == 0) {
    State.SkipWithError("the recorder never came up");
    return nullptr;
  }
  auto Session = pictrane::linux_desktop::X11Session::Open();
  if (!Session->ShowMaximisedWithFocus(Recorder.Pid(), 5000)) {
    State.SkipWithError("the recorder never took the focus");
    return nullptr;
  }
  return Session;
}

void TypeGreekPath(benchmark::State& State, bool FreshSession) {
  KeyRecorder Recorder;
  auto Session = SessionTypingInto(Recorder, State);
  if (!Session) return;
  const std::string Path = GreekPath();
  pictrane::KeyActions Actions = Text(Path);
  Actions.push_back(Named(pictrane::NamedKey::F12));
  std::vector<std::string> Expected = CodePoints(Path);
  Expected.push_back("F12");
  for (auto _ : State) {
    if (FreshSession) {
      State.PauseTiming();
      Session.reset();  // gives its keycodes back
      Session = pictrane::linux_desktop::X11Session::Open();
      State.ResumeTiming();
    }
    const std::size_t Before = Recorder.Lines().size();
    if (!pictrane::SendKeys(*Session, Actions, Recorder.Pid()))
      return State.SkipWithError("the focus left the recorder");
    State.PauseTiming();
    // Every string must arrive whole before the next is timed.
    if (!Recorder.WaitForMarker(Before, "F12", 10000))
      return State.SkipWithError("the string never arrived");
    const std::vector<std::string> Lines = Recorder.Lines();
    if (std::vector<std::string>(Lines.begin() + static_cast<std::ptrdiff_t>(Before),
                                 Lines.end()) != Expected) {
      std::string Got;
      for (std::size_t I = Before; I < Lines.size(); ++I) Got += Lines[I] + " ";
      std::fprintf(stderr, "received: %s\n", Got.c_str());
      return State.SkipWithError("the recorder received something else");
    }
    State.ResumeTiming();
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_GreekPathFreshSession(benchmark::State& State) {
  TypeGreekPath(State, true);
}
BENCHMARK(BM_GreekPathFreshSession)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_GreekPathAgain(benchmark::State& State) {
  TypeGreekPath(State, false);
}
BENCHMARK(BM_GreekPathAgain)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

int main(int Argc, char** Argv) {
  // Keys go to an X server of our own unless PICTRANE_TEST_DISPLAY names one.
  std::unique_ptr<XvfbServer> Server;
  if (const char* Given = std::getenv("PICTRANE_TEST_DISPLAY"); Given && *Given) {
    setenv("DISPLAY", Given, 1);
  } else {
    Server = std::make_unique<XvfbServer>();
    setenv("DISPLAY", Server->Name().c_str(), 1);
  }
  benchmark::Initialize(&Argc, Argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

namespace {

// The keys of one file's script typed for real into the recorder: what the run costs per file
// beyond its pauses.
void BM_FileScriptPerFile(benchmark::State& State) {
  KeyRecorder Recorder;
  auto Session = SessionTypingInto(Recorder, State);
  if (!Session) return;
  std::vector<pictrane::KeyActions> Script;
  for (const pictrane::ScriptStep& Step : pictrane::FileScript(
           pictrane::DeriveNames("/home/user/pictures", "/", "holiday picture 1.bmp"), "main"))
    Script.push_back(pictrane::ParseKeys(Step.Keys));
  for (auto _ : State) {
    for (const pictrane::KeyActions& Keys : Script)
      if (!pictrane::SendKeys(*Session, Keys, Recorder.Pid()))
        return State.SkipWithError("the focus left the recorder");
  }
  State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_FileScriptPerFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

// The look for a client holding the keyboard that comes before every key string: a grab attempt
// on the focus window (one round trip) and its release, on a connection of its own.
void BM_GrabCheckPerKeyString(benchmark::State& State) {
  KeyRecorder Recorder;
  const unsigned long Focus = Recorder.WaitUntilReady();
  if (Focus == 0) return State.SkipWithError("the recorder never came up");
  Probe Look;
  for (auto _ : State)
    if (!Look.GrabAndRelease(Focus)) return State.SkipWithError("the keyboard was held");
}
BENCHMARK(BM_GrabCheckPerKeyString)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One key string ("a") whole, with the keyboard free, and while a pop-up of the target's own
// holds it (the tool's menu after Alt+F): then the holder is looked up too.
void BM_OneKeyString(benchmark::State& State) {
  auto Recorder = std::make_unique<KeyRecorder>();
  auto Session = SessionTypingInto(*Recorder, State);
  if (!Session) return;
  std::unique_ptr<KeyRecorder> Menu;
  struct : pictrane::KeyTarget {
    std::vector<pictrane::ProcessId> Owned;
    Verdict Judge(pictrane::ProcessId Process) override {
      for (pictrane::ProcessId P : Owned)
        if (P == Process) return Verdict::Owned;
      return Verdict::Foreign;
    }
  } Target;
  Target.Owned = {Recorder->Pid()};
  if (State.range(0) == 1) {
    Menu = std::make_unique<KeyRecorder>(std::vector<std::string>{"--grab", "popup"});
    if (Menu->WaitUntilReady() == 0) return State.SkipWithError("the pop-up never grabbed");
    Target.Owned.push_back(Menu->Pid());
  }
  const pictrane::KeyActions Keys = pictrane::ParseKeys("a");
  for (auto _ : State)
    if (pictrane::SendKeys(*Session, Keys, Target) != pictrane::KeysOutcome::Sent)
      return State.SkipWithError("the keys were refused");
  State.SetLabel(State.range(0) == 1 ? "the target's pop-up holds the keyboard" : "keyboard free");
}
BENCHMARK(BM_OneKeyString)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One key string ("{ENTER}") after a pause of the file script's length, beside the same string
// sent straight after the one before: the difference is what waking from a pause costs the next
// string here (the X server, the recipient and we all sleep meanwhile), none of it our own work.
void BM_OneKeyStringAfterPause(benchmark::State& State) {
  KeyRecorder Recorder;
  auto Session = SessionTypingInto(Recorder, State);
  if (!Session) return;
  const pictrane::KeyActions Keys = pictrane::ParseKeys("{ENTER}");
  for (auto _ : State) {
    State.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(State.range(0)));
    State.ResumeTiming();
    if (!pictrane::SendKeys(*Session, Keys, Recorder.Pid()))
      return State.SkipWithError("the focus left the recorder");
  }
  State.SetLabel(State.range(0) == 0 ? "no pause" : "after a 5 ms pause");
}
BENCHMARK(BM_OneKeyStringAfterPause)
    ->Arg(0)
    ->Arg(pictrane::kRunTimings.KeyPauseMs)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(500);

// A key string handed over with nothing but XTest: all its events in one write and one round
// trip, without a look at the focus or the keyboard. The script's characters are all on the
// keymap. False for a key the bare typist has no keysym for.
bool TypeBare(Display* D, const pictrane::KeyActions& Keys) {
  if (!benchx11::QueueBare(D, Keys)) return false;
  XSync(D, False);
  return true;
}

// One file's script with the run's pauses, paced by the run's own rule on the real clock: typed
// by the session (its focus and keyboard looks included), and by the bare typist above, the
// least any typist can do. "beyond_pauses_ms" is a file's time beyond its 120 ms of pauses; the
// bare figure is what the display, the recipient and the machine take whoever types.
void BM_FileScriptWithPauses(benchmark::State& State) {
  KeyRecorder Recorder;
  auto Session = SessionTypingInto(Recorder, State);
  if (!Session) return;
  const std::unique_ptr<Display, int (*)(Display*)> BareDisplay(XOpenDisplay(nullptr),
                                                                XCloseDisplay);
  if (!BareDisplay) return State.SkipWithError("no second connection to the display");
  std::vector<std::pair<pictrane::ScriptStep, pictrane::KeyActions>> Script;
  int PausesMs = 0;
  std::size_t LinesPerFile = 0;  // the recorder writes a line for each key but the modifiers
  for (pictrane::ScriptStep& Step : pictrane::FileScript(
           pictrane::DeriveNames("/home/user/pictures", "/", "holiday picture 1.bmp"), "main")) {
    PausesMs += Step.PauseBeforeMs + Step.PauseAfterMs;
    pictrane::KeyActions Keys = pictrane::ParseKeys(Step.Keys);
    for (const pictrane::KeyAction& Key : Keys) LinesPerFile += static_cast<std::size_t>(Key.Count);
    Script.emplace_back(std::move(Step), std::move(Keys));
  }
  pictrane::linux_desktop::ClockLinux Clock;
  pictrane::Pacer Pace(Clock);
  pictrane::OneProcess Target(Recorder.Pid());
  const bool Bare = State.range(0) == 1;
  const std::size_t Before = Recorder.Lines().size();
  const auto Start = std::chrono::steady_clock::now();
  for (auto _ : State) {
    for (const auto& [Step, Keys] : Script) {
      Pace.Lengthen(Step.PauseBeforeMs);
      pictrane::PacedString Paced(Pace, Step.PauseAfterMs);
      if (Bare) {
        Paced.BeforeFirstKey();
        if (!TypeBare(BareDisplay.get(), Keys))
          return State.SkipWithError("a key the bare typist lacks");
        Paced.Handed();
      } else if (pictrane::SendKeys(*Session, Keys, Target, Paced) != pictrane::KeysOutcome::Sent) {
        return State.SkipWithError("the focus left the recorder");
      }
    }
  }
  Pace.Settle();  // the last file's last pause
  const std::chrono::duration<double, std::milli> Spent = std::chrono::steady_clock::now() - Start;
  const std::size_t Expected = Before + LinesPerFile * static_cast<std::size_t>(State.iterations());
  if (!WaitUntil(5000, [&] { return Recorder.Lines().size() >= Expected; }) ||
      Recorder.Lines().size() != Expected)
    return State.SkipWithError("the recorder did not receive every key");
  State.counters["beyond_pauses_ms"] =
      Spent.count() / static_cast<double>(State.iterations()) - PausesMs;
  State.SetLabel(Bare ? "bare XTest, one write a string" : "the session");
}
BENCHMARK(BM_FileScriptWithPauses)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(100);

}  // namespace
