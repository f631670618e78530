// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "pictrane/Product.h"
#include "pictrane/RaisedError.h"
#include "settings/clsINI.h"
#include "startup/AppFolders.h"

namespace pictrane {

class frmMain;
struct Platform;

inline constexpr int kExitRunTimeError = 2;
inline constexpr int kExitEnvironment = 1;

// The start-up messages, word for word as users know them. Each box says its text first; the
// help with it (the paths tried, where settings.ini is) follows after a blank line.
inline constexpr const char* kToolNotFoundText =
    "TI ScreenCapture not found!\r\nCorrect the path in the file settings.ini.";
inline constexpr const char* kPlaceholderNotFoundText = "dummy.bmp not found!";

// The program-wide state: created by Main, alive until the process ends.
struct ProgramState {
  ProgramState();  // settings through the core's own profile files
  explicit ProgramState(ProfileStore& Settings);
  ~ProgramState();
  ProgramState(const ProgramState&) = delete;
  ProgramState& operator=(const ProgramState&) = delete;

  clsINI SettingsFile;
  std::string ScreenCapturePath;  // as read at start-up; never written back
  AppFiles Files;                 // where settings.ini, list.txt and dummy.bmp are
  std::unique_ptr<frmMain> MainForm;
  int ExitStatus = 0;  // the status the program ends with once its window has closed
};

// The program from start to end: Main, an error that escapes it reported as the run-time error
// box, then the toolkit's EventLoop until the window has closed. The status is the loop's when
// not 0, else the one the program chose (State.ExitStatus).
int RunProgram(Platform& P, ProgramState& State, const std::function<int()>& EventLoop);

// Prepares the controls, binds the settings, checks the environment and shows the main window
// without waiting. Terminates through Platform::Programs when the capture tool or the
// placeholder bitmap is missing.
void Main(Platform& P, ProgramState& State);

// The system asks the program to end (SIGTERM and the like): a run in progress stops where it is
// (the caller comes between two key strings) and its list file goes; then the process ends with
// 128 + Signal, as a shell reports a signal, but by its own exit. What the window system lent
// the run (the X keyboard map's spare keycodes) the caller gives back first.
[[noreturn]] void EndOnSignal(Platform& P, ProgramState& State, int Signal);

// The list file of a run in progress goes (another instance's is left alone): for the ends that
// pass no run's own clean-up, a signal or a toolkit that ends the process when the display goes.
void RemoveListOfRunInProgress(Platform& P, ProgramState& State);

// "Run-time error 'N':" and the description, as the box that reports an unhandled error says it.
std::string RunTimeErrorText(const RaisedError& Error);

// The top level's answer to an error nothing handled: the run-time error box, then exit status 2.
[[noreturn]] void ReportRunTimeError(Platform& P, const RaisedError& Error);

}  // namespace pictrane
