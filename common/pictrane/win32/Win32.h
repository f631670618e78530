// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// <windows.h> as the Win32 back end includes it: without min/max macros, and without the macros
// that would rename interface methods (MessageBox, DeleteFile) in this back end only.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#undef MessageBox
#undef DeleteFile
