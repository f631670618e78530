// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// libtifiles and libticonv, whose C headers use the C keyword "restrict".

#define restrict __restrict
#include <ticonv.h>
#include <tifiles.h>
#undef restrict
