// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace pictrane {

// Every timing of a conversion run, in milliseconds, in one place. The pauses are the capture
// tool's time to take the keys in and open its dialogs: they are fixed and never shortened. The
// waits are upper bounds: each ends as soon as what it waits for has happened.
struct RunTimings {
  // After "list.txt" is written (slept whole), and after the tool's window took the focus
  // (counted from that moment: showing the progress window is work inside it).
  int StartPauseMs = 100;
  // After each key string of a file but the last, counted from the string's hand-over.
  int KeyPauseMs = 5;
  // Added to the pause before the target path: the Save As panel takes longer to appear.
  int TargetExtraPauseMs = 5;
  // After the last key string of a file.
  int FilePauseMs = 30;

  // For the tool's window to come forward with the keyboard focus after its start, before the
  // progress window says that the run waits for it (a cold start, a virus scan)...
  int ToolWindowWaitMs = 10000;
  // ...and then, with Cancel, at most this much longer.
  int ToolWindowLongWaitMs = 60000;
  // How often that wait looks whether the tool still runs, and at Cancel.
  int ToolWindowPollMs = 250;
  // For the tool to end after its close keys or close request: it works through every key sent
  // before them first, which for big bitmaps takes a while.
  int ToolEndWaitMs = 60000;
  // For pictures still missing or changing once the tool has ended (a tool that hands its work
  // to another process); a picture counts once it held still from one look to the next.
  int PictureWaitMs = 5000;
  // How often the two waits above look.
  int EndPollMs = 10;
  // For the last lines the ended tool wrote to its standard error to be read.
  int ToolRemarksWaitMs = 1000;
  // How long a foreground that belongs to nobody (a dialog closing) is waited out before it
  // counts as a lost focus.
  int FocusGraceMs = 200;
  // How long the tool's window is given the focus back after a click into one of this
  // program's windows (Cancel under a window manager) before that counts as a lost focus.
  int FocusBackMs = 2000;
  // How often a focus that belongs to nobody is looked at again during that grace.
  int NoFocusPollMs = 10;
  // For keys or modifiers that the program did not press (the user's) to be let go before a
  // bitmap's keys start; the run stops once they have been held this long.
  int KeyReleaseWaitMs = 10000;
  // How often that wait looks at the keyboard again.
  int KeyReleasePollMs = 20;
  // For a stopped process to be gone, after it was made to end.
  int StopWaitMs = 5000;
  // How old a temporary our capture tool left in the bitmap folder must be before a run removes
  // it, so that no running write can still own it.
  int StaleTemporaryAgeS = 24 * 60 * 60;

  // The back ends' own looks at the system are theirs: linux/TimingsLinux.h, win32/TimingsWin32.h.
};

inline constexpr RunTimings kRunTimings{};

}  // namespace pictrane
