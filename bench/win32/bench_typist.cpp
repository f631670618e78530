// SPDX-License-Identifier: GPL-3.0-or-later
// How close to the pauses a run's typing can come under Wine, whoever types: COUNT files' key
// scripts typed into the key recorder of the Windows tests with the run's pauses, three ways in
// turns, REPS times each:
//   keyboard  the program's own: the core's typing loop over KeyboardWin32, every look included;
//   bare      one SendInput a string and no look at all, with the same proof that the recorder
//             has taken the keys in before the pause starts;
//   unproved  the same without the proof: the pause starts once SendInput has returned, so the
//             recorder may still be taking the keys in meanwhile.
// Prints each way's mean seconds beside the pauses' sum (0.12 s a file).
//   bench_typist.exe RECORDER FOLDER [count] [reps]   (FOLDER: where the pictures go)
#include "pictrane/win32/Win32.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "conversion/FileScript.h"
#include "conversion/Pacer.h"
#include "conversion/SendKeys.h"
#include "pictrane/win32/Text.h"
#include "win32/KeyInput.h"
#include "win32/KeyboardWin32.h"
#include "win32/ProcessesWin32.h"

namespace {

using namespace pictrane;

struct Recorder {
  PROCESS_INFORMATION Process{};
  HWND Window = nullptr;
};

BOOL CALLBACK FindRecorder(HWND Window, LPARAM Parameter) {
  auto& R = *reinterpret_cast<Recorder*>(Parameter);
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Window, &Owner);
  wchar_t Class[64] = {};
  ::GetClassNameW(Window, Class, 64);
  if (Owner != R.Process.dwProcessId || std::wstring(Class) != L"PictraneKeyRecorder" ||
      !::IsWindowVisible(Window))
    return TRUE;
  R.Window = Window;
  return FALSE;
}

// Starts the recorder and waits until its window has the foreground.
bool Start(const std::wstring& Path, Recorder& R) {
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  std::wstring Line = L"\"" + Path + L"\"";
  if (!::CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &Startup, &R.Process))
    return false;
  for (int Tries = 0; Tries < 1000; ++Tries) {
    if (R.Window == nullptr) ::EnumWindows(FindRecorder, reinterpret_cast<LPARAM>(&R));
    if (R.Window != nullptr) {
      DWORD Owner = 0;
      ::GetWindowThreadProcessId(::GetForegroundWindow(), &Owner);
      if (Owner == R.Process.dwProcessId) return true;
      ::SetForegroundWindow(R.Window);
    }
    ::Sleep(10);
  }
  return false;
}

void Close(Recorder& R) {
  ::PostMessageW(R.Window, WM_CLOSE, 0, 0);
  ::WaitForSingleObject(R.Process.hProcess, 10000);
  ::CloseHandle(R.Process.hProcess);
  ::CloseHandle(R.Process.hThread);
}

enum class Way { Keyboard, Bare, Unproved };

// Seconds from the first key string to the end of the last pause.
double TypeScripts(Way How, const std::string& Folder, int Count, ProcessId Target) {
  win32::ClockWin32 Clock;
  Pacer Pace(Clock);
  win32::KeyboardWin32 Keys;
  OneProcess Only(Target);
  const std::int64_t Start = Clock.NowUs();
  for (int File = 1; File <= Count; ++File) {
    const FileNames Names = DeriveNames(Folder, "\\", "pic" + std::to_string(File) + ".bmp");
    for (const ScriptStep& Step : FileScript(Names, "main")) {
      const KeyActions Actions = ParseKeys(Step.Keys);
      Pace.Lengthen(Step.PauseBeforeMs);
      if (How == Way::Keyboard) {
        PacedString Paced(Pace, Step.PauseAfterMs);
        if (SendKeys(Keys, Actions, Only, Paced) != KeysOutcome::Sent) return -1;
        continue;
      }
      std::vector<INPUT> Inputs = win32::KeyInputs(Actions);
      Pace.Settle();
      ::SendInput(static_cast<UINT>(Inputs.size()), Inputs.data(), sizeof(INPUT));
      if (How == Way::Bare) win32::WaitForForegroundInput(Inputs.size() * 2);
      Pace.KeysHanded(Step.PauseAfterMs);
    }
  }
  Pace.Settle();
  return static_cast<double>(Clock.NowUs() - Start) / 1e6;
}

}  // namespace

int main(int Count, char** Arguments) {
  if (Count < 3) {
    std::fprintf(stderr, "usage: bench_typist RECORDER FOLDER [count] [reps]\n");
    return 2;
  }
  const std::wstring RecorderPath = win32::Widen(Arguments[1]);
  const std::string Folder = Arguments[2];
  const int Files = Count > 3 ? std::atoi(Arguments[3]) : 20;
  const int Reps = Count > 4 ? std::atoi(Arguments[4]) : 3;
  const std::map<Way, const char*> Names{
      {Way::Keyboard, "keyboard"}, {Way::Bare, "bare"}, {Way::Unproved, "unproved"}};
  std::map<Way, double> Sum;
  for (int Rep = 0; Rep < Reps; ++Rep) {
    for (const auto& [How, Name] : Names) {
      Recorder R;
      if (!Start(RecorderPath, R)) {
        std::fprintf(stderr, "the recorder did not come forward\n");
        return 1;
      }
      const double Seconds =
          TypeScripts(How, Folder, Files, static_cast<ProcessId>(R.Process.dwProcessId));
      Close(R);
      if (Seconds < 0) {
        std::fprintf(stderr, "%s: the focus left the recorder\n", Name);
        return 1;
      }
      std::fprintf(stderr, "run %d %s: %.3f s\n", Rep + 1, Name, Seconds);
      Sum[How] += Seconds;
    }
  }
  const double Bound = 0.12 * Files;
  for (const auto& [How, Name] : Names) {
    const double Mean = Sum[How] / Reps;
    std::printf("%-8s %d files: mean %.3f s against %.2f s of pauses (%.2f)\n", Name, Files, Mean,
                Bound, Bound / Mean);
  }
  return 0;
}
