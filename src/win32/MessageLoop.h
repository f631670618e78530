// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "pictrane/win32/Win32.h"

namespace pictrane::win32 {

// Top-level windows whose keyboard navigation (Tab between controls) the loop hands to
// IsDialogMessage.
void AddDialogNavigation(HWND Window);
void RemoveDialogNavigation(HWND Window);

// One message: navigation for our windows, otherwise translated and dispatched.
void HandleMessage(MSG& Message);

// Handles the messages already waiting and returns. A quit request is left in the queue for
// RunMessageLoop; the result is false once one has been seen.
bool PumpPendingMessages();

// Runs until the quit request; returns its exit code.
int RunMessageLoop();

}  // namespace pictrane::win32
