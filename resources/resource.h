// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Resource identifiers shared by the resource script and the program.
#define IDI_PICTRANE 1
