// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calculator libraries (libtifiles and libticonv for files, libticables and libticalcs for the
// link), whose C headers use the C keyword "restrict".

#define restrict __restrict
#include <ticables.h>
#include <ticalcs.h>
#include <ticonv.h>
#include <tifiles.h>
#undef restrict

#include <cstdint>

namespace pictrane::capture {

// The variable type of a picture on every 68000 calculator, and on the numbered models.
inline constexpr std::uint8_t kPictureType = 0x10;
inline constexpr std::uint8_t kTi83PlusPictureType = 0x07;

// Starts libtifiles once, before its first use.
void EnsureLibraryReady();

}  // namespace pictrane::capture
