#include "PixelConversion.h"

#include <algorithm>

namespace pictrane::capture {

namespace {

// Rounds Numerator / Denominator to the nearest integer, halves upwards; both positive.
std::int64_t RoundedQuotient(std::int64_t Numerator, std::int64_t Denominator) {
  return (2 * Numerator + Denominator) / (2 * Denominator);
}

// The source index sampled by target index Target when Source pixels become Scaled ones.
int SampleIndex(int Target, int Source, int Scaled) {
  const std::int64_t Index = (2 * static_cast<std::int64_t>(Target) + 1) * Source /
                             (2 * static_cast<std::int64_t>(Scaled));
  return static_cast<int>(std::min<std::int64_t>(Index, Source - 1));
}

// One colour channel laid over white with the given alpha, rounded to the nearest value.
std::uint32_t OverWhite(std::uint32_t Channel, std::uint32_t Alpha) {
  return (Channel * Alpha + 255 * (255 - Alpha) + 127) / 255;
}

}  // namespace

PictureSize FitWithin(PictureSize Source, PictureSize Bounds) {
  if (Source.Width <= Bounds.Width && Source.Height <= Bounds.Height) return Source;
  const std::int64_t W = Source.Width;
  const std::int64_t H = Source.Height;
  // Compare W / H with the bounds' ratio without dividing: the wider one is limited by width.
  if (W * Bounds.Height >= H * Bounds.Width) {
    const auto Height = std::max<std::int64_t>(1, RoundedQuotient(H * Bounds.Width, W));
    return {Bounds.Width, static_cast<int>(Height)};
  }
  const auto Width = std::max<std::int64_t>(1, RoundedQuotient(W * Bounds.Height, H));
  return {static_cast<int>(Width), Bounds.Height};
}

bool IsDark(std::uint32_t Argb) {
  const std::uint32_t Alpha = Argb >> 24;
  std::uint32_t Red = (Argb >> 16) & 0xFF;
  std::uint32_t Green = (Argb >> 8) & 0xFF;
  std::uint32_t Blue = Argb & 0xFF;
  if (Alpha != 255) {
    Red = OverWhite(Red, Alpha);
    Green = OverWhite(Green, Alpha);
    Blue = OverWhite(Blue, Alpha);
  }
  // 0.299 R + 0.587 G + 0.114 B < 128, scaled by 1000 to stay exact.
  return 299 * Red + 587 * Green + 114 * Blue < 128000;
}

MonoPicture ToMono(const std::uint32_t* Pixels, int Width, int Height, std::size_t Stride,
                   PictureSize Bounds) {
  MonoPicture Mono;
  if (Width <= 0 || Height <= 0) return Mono;
  const PictureSize Size = FitWithin({Width, Height}, Bounds);
  Mono.Width = Size.Width;
  Mono.Height = Size.Height;
  Mono.Dark.resize(static_cast<std::size_t>(Size.Width) * static_cast<std::size_t>(Size.Height));

  std::vector<int> Columns(static_cast<std::size_t>(Size.Width));
  for (int X = 0; X < Size.Width; ++X) Columns[X] = SampleIndex(X, Width, Size.Width);

  for (int Y = 0; Y < Size.Height; ++Y) {
    const std::uint32_t* Row =
        Pixels + static_cast<std::size_t>(SampleIndex(Y, Height, Size.Height)) * Stride;
    for (int X = 0; X < Size.Width; ++X) {
      Mono.Dark[static_cast<std::size_t>(Y) * Size.Width + X] = IsDark(Row[Columns[X]]) ? 1 : 0;
    }
  }
  return Mono;
}

}  // namespace pictrane::capture
