// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/Dither.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <cstddef>
#include <utility>

#include "picture/PictureOptions.h"

namespace pictrane::capture {

namespace {

// Error diffusion, serpentine: each row runs the other way than the one above, so the error does
// not drift to one side. Taps are (dx, dy, weight) for a row running left to right.
struct Tap {
  int Dx;
  int Dy;
  float Weight;
};

constexpr std::array<Tap, 4> kFloydSteinberg{
    {{1, 0, 7.0f / 16}, {-1, 1, 3.0f / 16}, {0, 1, 5.0f / 16}, {1, 1, 1.0f / 16}}};
// Atkinson passes on only 6/8 of the error, which keeps flat areas clean.
constexpr std::array<Tap, 6> kAtkinson{{{1, 0, 1.0f / 8},
                                        {2, 0, 1.0f / 8},
                                        {-1, 1, 1.0f / 8},
                                        {0, 1, 1.0f / 8},
                                        {1, 1, 1.0f / 8},
                                        {0, 2, 1.0f / 8}}};

// The taps are a template argument, so that their weights and offsets are constants of the loop.
template <const auto& Taps>
void Diffuse(const std::vector<float>& Grey, int Width, int Height, std::vector<std::uint8_t>& Dark,
             const std::vector<std::uint8_t>* Fixed = nullptr) {
  constexpr int Pad = 2;
  constexpr int Rows = 3;
  const int Span = Width + 2 * Pad;
  std::vector<float> Error(static_cast<std::size_t>(Span) * Rows, 0.0f);
  for (int Y = 0; Y < Height; ++Y) {
    float* Row[Rows];
    for (int R = 0; R < Rows; ++R)
      Row[R] = Error.data() + static_cast<std::size_t>((Y + R) % Rows) * Span + Pad;
    const bool Forward = Y % 2 == 0;
    const int Dir = Forward ? 1 : -1;
    for (int I = 0; I < Width; ++I) {
      const int X = Forward ? I : Width - 1 - I;
      const std::size_t At = static_cast<std::size_t>(Y) * Width + X;
      if (Fixed != nullptr && (*Fixed)[At] != kFree) {
        // Ink and paper keep their state; the error that reaches them goes no further.
        Dark[At] = (*Fixed)[At] == kInk ? 1 : 0;
        continue;
      }
      const float Value = Grey[At] + Row[0][X];
      const bool Light = Value >= 0.5f;
      Dark[At] = Light ? 0 : 1;
      const float Err = Value - (Light ? 1.0f : 0.0f);
      // Unrolled, tap by tap in their order, so each one's row and weight are constants.
      [&]<std::size_t... K>(std::index_sequence<K...>) {
        ((Row[Taps[K].Dy][X + Dir * Taps[K].Dx] += Err * Taps[K].Weight), ...);
      }
      (std::make_index_sequence<Taps.size()>{});
    }
    std::fill(Row[0] - Pad, Row[0] - Pad + Span, 0.0f);
  }
}

// The ordered dither's index matrix of side 2^Order, built by the usual recursion.
std::vector<int> BayerMatrix(int Side) {
  std::vector<int> M{0};
  for (int S = 1; S < Side; S *= 2) {
    std::vector<int> Next(static_cast<std::size_t>(4 * S * S));
    for (int Y = 0; Y < S; ++Y) {
      for (int X = 0; X < S; ++X) {
        const int V = 4 * M[static_cast<std::size_t>(Y * S + X)];
        const int N = 2 * S;
        Next[static_cast<std::size_t>(Y * N + X)] = V;
        Next[static_cast<std::size_t>(Y * N + X + S)] = V + 2;
        Next[static_cast<std::size_t>((Y + S) * N + X)] = V + 3;
        Next[static_cast<std::size_t>((Y + S) * N + X + S)] = V + 1;
      }
    }
    M = std::move(Next);
  }
  return M;
}

void Ordered(const std::vector<float>& Grey, int Width, int Height, int Side,
             std::vector<std::uint8_t>& Dark) {
  const std::vector<int> M = BayerMatrix(Side);
  const float Cells = static_cast<float>(Side * Side);
  for (int Y = 0; Y < Height; ++Y) {
    for (int X = 0; X < Width; ++X) {
      const std::size_t At = static_cast<std::size_t>(Y) * Width + X;
      const float Limit =
          (static_cast<float>(M[static_cast<std::size_t>((Y % Side) * Side + X % Side)]) + 0.5f) /
          Cells;
      Dark[At] = Grey[At] > Limit ? 0 : 1;
    }
  }
}

}  // namespace

void DitherAround(const std::vector<float>& Grey, int Width, int Height,
                  const std::vector<std::uint8_t>& Fixed, std::vector<std::uint8_t>& Dark) {
  Diffuse<kFloydSteinberg>(Grey, Width, Height, Dark, &Fixed);
}

// A drawing shrunk or not: a pixel that holds half a source line's width of ink, crossing it
// against paper, is ink; paper stays light; flat areas and what is wholly covered (a wide stroke,
// a filled shape, a coloured row) are dithered in their own tone against the paper.
void DrawingTones(const std::vector<float>& Ink, const std::vector<float>& Grey, float Paper,
                  double Scale, MonoPicture& Mono) {
  const int W = Mono.Width;
  const int H = Mono.Height;
  const auto Enough = static_cast<float>(std::min(0.5, 0.5 / Scale));
  std::vector<std::uint8_t> Fixed(Ink.size(), kFree);
  std::vector<float> Tone(Grey.size());
  for (int Y = 0; Y < H; ++Y) {
    for (int X = 0; X < W; ++X) {
      const std::size_t At = static_cast<std::size_t>(Y) * W + X;
      Tone[At] = std::min(1.0f, Grey[At] / Paper);
      const float M = Ink[At];
      if (M < Enough) {
        Fixed[At] = kPaper;
        continue;
      }
      // Inside a flat area every neighbour holds as much ink and is as dark; beside a line or
      // an edge some neighbour holds clearly less, or is clearly lighter.
      float Spread = 0;
      float Lighter = 0;
      for (int Dy = -1; Dy <= 1; ++Dy) {
        for (int Dx = -1; Dx <= 1; ++Dx) {
          const auto N = static_cast<std::size_t>(std::clamp(Y + Dy, 0, H - 1)) * W +
                         static_cast<std::size_t>(std::clamp(X + Dx, 0, W - 1));
          Spread = std::max(Spread, std::abs(Ink[N] - M));
          Lighter = std::max(Lighter, std::min(1.0f, Grey[N] / Paper) - Tone[At]);
        }
      }
      // At least half as dark as black beside something clearly lighter: a stroke or its edge,
      // however close the strokes (small text) and whatever share of it the pixel holds.
      if (1.0f - Tone[At] >= 0.5f && Lighter > 0.25f) {
        Fixed[At] = kInk;
        continue;
      }
      if (M >= 0.75f) continue;
      if (Spread > 0.5f * M) Fixed[At] = kInk;
    }
  }
  DitherAround(Tone, W, H, Fixed, Mono.Dark);
}

void Dither(const std::vector<float>& Grey, int Width, int Height, ToneMethod Method,
            std::vector<std::uint8_t>& Dark) {
  // The threshold is decided by the caller on its own scale, and auto before it comes here.
  if (const ToneStep Tone = RowOf(DitherFamily(), Method).Tone) Tone(Grey, Width, Height, Dark);
}

void FloydSteinberg(const std::vector<float>& Grey, int Width, int Height,
                    std::vector<std::uint8_t>& Dark) {
  Diffuse<kFloydSteinberg>(Grey, Width, Height, Dark);
}

void Atkinson(const std::vector<float>& Grey, int Width, int Height,
              std::vector<std::uint8_t>& Dark) {
  Diffuse<kAtkinson>(Grey, Width, Height, Dark);
}

void Bayer4(const std::vector<float>& Grey, int Width, int Height,
            std::vector<std::uint8_t>& Dark) {
  Ordered(Grey, Width, Height, 4, Dark);
}

void Bayer8(const std::vector<float>& Grey, int Width, int Height,
            std::vector<std::uint8_t>& Dark) {
  Ordered(Grey, Width, Height, 8, Dark);
}

}  // namespace pictrane::capture
