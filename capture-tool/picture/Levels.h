// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Stretched levels: the tone curve a photograph gets before its tone step.

#include <vector>

namespace pictrane::capture {

// Stretches the values' 1st..99th percentiles to 0..1, then bends the tones with a gamma so
// that their mean is what it was: the picture gains its whole range without getting lighter or
// darker than it looked; but never darker than 10 % or lighter than 90 %, where a one-bit
// picture would show a dark or foggy photo's subject by a few dots only. A picture of nearly one
// tone is left alone: stretching it would only make its noise loud.
void StretchLevels(std::vector<float>& Grey);

}  // namespace pictrane::capture
