// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a picture is, for the automatic tone: the analysis that picks its method.

#include <cstddef>
#include <cstdint>

namespace pictrane::capture {

// Exact: a bitmap of at most 16 colours, converted pixel for pixel as it always was.
// Drawing: a diagram, a screenshot or text on a light, flat paper (anti-aliased or not): its
// strokes are kept as ink and its flat colour areas dithered in their own tone.
// Photo: everything else, dithered with its levels stretched.
enum class PictureKind { Exact, Drawing, Photo };

struct Analysis {
  PictureKind Kind = PictureKind::Photo;
  int Paper = 255;  // the paper's luminance (0..255) for a drawing
};

// Looks at the pixels on an even grid of at most about 65 000 of them, each with its right and
// lower neighbours: a drawing's paper is flat (neighbours within a step or two, as a JPEG of a
// drawing still has it) and light, and covers most of the picture; a photograph's tones, however
// light or low in contrast, differ from pixel to pixel.
Analysis Analyse(const std::uint32_t* Pixels, int Width, int Height, std::size_t Stride);

}  // namespace pictrane::capture
