// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/PixelConversion.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "picture/Dither.h"
#include "picture/Levels.h"
#include "picture/PictureOptions.h"
#include "picture/PictureKind.h"

namespace pictrane::capture {

namespace {

// Rounds Numerator / Denominator to the nearest integer, halves upwards; both positive.
std::int64_t RoundedQuotient(std::int64_t Numerator, std::int64_t Denominator) {
  return (2 * Numerator + Denominator) / (2 * Denominator);
}

// One colour channel laid over white with the given alpha, rounded to the nearest value.
std::uint32_t OverWhite(std::uint32_t Channel, std::uint32_t Alpha) {
  return (Channel * Alpha + 255 * (255 - Alpha) + 127) / 255;
}

// A pixel's channels laid over white, as the calculator's white screen shows a transparent one.
struct Channels {
  std::uint32_t Red, Green, Blue;
};
// Inlined: it runs once for every source pixel.
[[gnu::always_inline]] inline Channels OnWhite(std::uint32_t Argb) {
  Channels C{(Argb >> 16) & 0xFF, (Argb >> 8) & 0xFF, Argb & 0xFF};
  if (const std::uint32_t Alpha = Argb >> 24; Alpha != 255) [[unlikely]] {
    C = {OverWhite(C.Red, Alpha), OverWhite(C.Green, Alpha), OverWhite(C.Blue, Alpha)};
  }
  return C;
}

// The luminance of a pixel over white, times 1000 (0..255000): whole numbers keep the threshold
// exact.
std::uint32_t LumaTimes1000(std::uint32_t Argb) {
  const Channels C = OnWhite(Argb);
  return 299 * C.Red + 587 * C.Green + 114 * C.Blue;
}

float DecodeSrgb(float Value) {
  return Value <= 0.04045f ? Value / 12.92f : std::pow((Value + 0.055f) / 1.055f, 2.4f);
}

// Tables built once: each channel's sRGB value to its share of linear luminance, and to its share
// of the threshold's luminance (times 1000, whole numbers, so that the threshold stays exact).
struct Tables {
  std::array<float, 256> Linear{};
  std::array<float, 256> Red{}, Green{}, Blue{};
  std::array<float, 256> LumaRed{}, LumaGreen{}, LumaBlue{};
  Tables() {
    for (int V = 0; V < 256; ++V) {
      Linear[V] = DecodeSrgb(static_cast<float>(V) / 255.0f);
      Red[V] = 0.2126f * Linear[V];
      Green[V] = 0.7152f * Linear[V];
      Blue[V] = 0.0722f * Linear[V];
      LumaRed[V] = static_cast<float>(299 * V);
      LumaGreen[V] = static_cast<float>(587 * V);
      LumaBlue[V] = static_cast<float>(114 * V);
    }
  }
};

const Tables& TheTables() {
  static const Tables Instance;
  return Instance;
}

// The threshold's luminance runs 0..255000, linear light 0..1.
constexpr float kLumaScale = 255000.0f;

// What a source pixel becomes before shrinking: its luminance (times 1000, the threshold's and
// the display scale's), its linear light, or 1 where it is ink (its luminance times 1000 below
// InkLimit) and 0 elsewhere.
// Ramp: how far below the paper (InkLimit, times 1000) a pixel is, 0 within 4 levels of it, 1
// from 16 levels below it, so an anti-aliased stroke's pale edge counts as the stroke.
enum class GreyMode { Luma, Linear, Ink, Ramp };
struct GreyRule {
  GreyMode Mode = GreyMode::Luma;
  float InkLimit = 0;
};

// One source row's pixels From..To-1 as grey values by Rule.
void GreyRow(const std::uint32_t* Row, int From, int To, const GreyRule& Rule, float* Out) {
  const Tables& T = TheTables();
  const bool Linear = Rule.Mode == GreyMode::Linear;
  const float* R = Linear ? T.Red.data() : T.LumaRed.data();
  const float* G = Linear ? T.Green.data() : T.LumaGreen.data();
  const float* B = Linear ? T.Blue.data() : T.LumaBlue.data();
  for (int X = From; X < To; ++X) {
    const Channels C = OnWhite(Row[X]);
    const float Value = R[C.Red] + G[C.Green] + B[C.Blue];
    if (Rule.Mode == GreyMode::Ink) {
      Out[X - From] = Value < Rule.InkLimit ? 1.0f : 0.0f;
    } else if (Rule.Mode == GreyMode::Ramp) {
      Out[X - From] = std::clamp((Rule.InkLimit - 4000.0f - Value) / 12000.0f, 0.0f, 1.0f);
    } else {
      Out[X - From] = Value;
    }
  }
}

// For each target pixel along one side, the source pixels it covers and how much of each.
struct Spans {
  std::vector<int> First;   // per target pixel, its first source pixel
  std::vector<int> Count;   // and how many follow
  std::vector<int> Offset;  // where its weights start in Weights
  std::vector<float> Weights;
  int Lowest = 0;  // the source pixels any target pixel covers: Lowest..Highest-1
  int Highest = 0;
};

Spans SpansFor(int Targets, int Sources, double Start, double Extent) {
  Spans S;
  const double Step = Extent / Targets;
  S.Lowest = Sources;
  for (int T = 0; T < Targets; ++T) {
    const double A = Start + T * Step;
    const double B = A + Step;
    const int First = std::clamp(static_cast<int>(std::floor(A)), 0, Sources - 1);
    const int Last = std::clamp(static_cast<int>(std::ceil(B)) - 1, First, Sources - 1);
    S.First.push_back(First);
    S.Offset.push_back(static_cast<int>(S.Weights.size()));
    for (int I = First; I <= Last; ++I) {
      const double Covered = std::min(B, I + 1.0) - std::max(A, static_cast<double>(I));
      S.Weights.push_back(static_cast<float>(std::max(0.0, Covered) / Step));
    }
    S.Count.push_back(Last - First + 1);
    S.Lowest = std::min(S.Lowest, First);
    S.Highest = std::max(S.Highest, Last + 1);
  }
  return S;
}

// The picture shrunk into Place.Size by area averaging, as grey values (GreyRow's scale).
std::vector<float> ShrinkGrey(const std::uint32_t* Pixels, int Width, int Height,
                              std::size_t Stride, const Placement& Place, const GreyRule& Rule) {
  const int TargetWidth = Place.Size.Width;
  const int TargetHeight = Place.Size.Height;
  const Spans Columns = SpansFor(TargetWidth, Width, Place.Left, Place.Width);
  const Spans Rows = SpansFor(TargetHeight, Height, Place.Top, Place.Height);

  std::vector<float> Grey(static_cast<std::size_t>(Columns.Highest - Columns.Lowest));
  std::vector<float> Reduced(static_cast<std::size_t>(TargetWidth));
  std::vector<float> Out(static_cast<std::size_t>(TargetWidth) * TargetHeight, 0.0f);
  int ReducedRow = -1;
  for (int Y = 0; Y < TargetHeight; ++Y) {
    float* Target = Out.data() + static_cast<std::size_t>(Y) * TargetWidth;
    for (int K = 0; K < Rows.Count[Y]; ++K) {
      const int SourceRow = Rows.First[Y] + K;
      if (SourceRow != ReducedRow) {
        // Each source row is reduced across once; a row shared by two target rows is kept.
        GreyRow(Pixels + static_cast<std::size_t>(SourceRow) * Stride, Columns.Lowest,
                Columns.Highest, Rule, Grey.data());
        for (int X = 0; X < TargetWidth; ++X) {
          const float* W = Columns.Weights.data() + Columns.Offset[X];
          const float* G = Grey.data() + (Columns.First[X] - Columns.Lowest);
          float Sum = 0.0f;
          for (int I = 0; I < Columns.Count[X]; ++I) Sum += W[I] * G[I];
          Reduced[X] = Sum;
        }
        ReducedRow = SourceRow;
      }
      const float RowWeight = Rows.Weights[static_cast<std::size_t>(Rows.Offset[Y] + K)];
      for (int X = 0; X < TargetWidth; ++X) Target[X] += RowWeight * Reduced[X];
    }
  }
  return Out;
}

// Brightness and contrast on the sRGB scale (0..1): contrast multiplies the distance from the
// middle by 4^(N/100), brightness adds N/200.
float Adjusted(float Srgb, const PictureOptions& Options) {
  const float Factor = std::pow(4.0f, static_cast<float>(Options.Contrast) / 100.0f);
  const float Value =
      (Srgb - 0.5f) * Factor + 0.5f + static_cast<float>(Options.Brightness) / 200.0f;
  return std::clamp(Value, 0.0f, 1.0f);
}

void Adjust(std::vector<float>& Grey, bool Linear, const PictureOptions& Options) {
  if (Options.Brightness == 0 && Options.Contrast == 0) return;
  for (float& V : Grey) {
    V = Linear ? DecodeSrgb(Adjusted(SrgbOf(V), Options))
               : Adjusted(V / kLumaScale, Options) * kLumaScale;
  }
}

}  // namespace

PictureOptions Clamped(PictureOptions Options) {
  Options.Level = std::clamp(Options.Level, 0, 256);
  Options.Brightness = std::clamp(Options.Brightness, -100, 100);
  Options.Contrast = std::clamp(Options.Contrast, -100, 100);
  return Options;
}

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

Placement PlaceWithin(PictureSize Source, PictureSize Bounds, Sizing Fit) {
  const double W = Source.Width;
  const double H = Source.Height;
  Placement Place{Source, 0, 0, W, H};
  if (Source.Width <= Bounds.Width && Source.Height <= Bounds.Height) return Place;
  switch (Fit) {
    case Sizing::Fit:
      Place.Size = FitWithin(Source, Bounds);
      break;
    case Sizing::Stretch:
      Place.Size = {std::min(Source.Width, Bounds.Width), std::min(Source.Height, Bounds.Height)};
      break;
    case Sizing::Fill: {
      // The scale that covers the area, but never above 1: a side that fits is not enlarged.
      const double Scale = std::min(1.0, std::max(Bounds.Width / W, Bounds.Height / H));
      const auto Side = [&](double Length, int Limit) {
        return std::clamp(static_cast<int>(std::lround(Length * Scale)), 1, Limit);
      };
      Place.Size = {Side(W, Bounds.Width), Side(H, Bounds.Height)};
      Place.Width = std::min(W, Place.Size.Width / Scale);
      Place.Height = std::min(H, Place.Size.Height / Scale);
      Place.Left = (W - Place.Width) / 2;
      Place.Top = (H - Place.Height) / 2;
      break;
    }
  }
  return Place;
}

bool IsDark(std::uint32_t Argb) {
  return LumaTimes1000(Argb) < 128000;  // 0.299 R + 0.587 G + 0.114 B < 128
}

bool IsFewColoured(const std::uint32_t* Pixels, int Width, int Height, std::size_t Stride) {
  return Analyse(Pixels, Width, Height, Stride).Kind != PictureKind::Photo;
}

float LinearOf(std::uint8_t Srgb) {
  return TheTables().Linear[Srgb];
}

float SrgbOf(float Linear) {
  const float V = std::clamp(Linear, 0.0f, 1.0f);
  return V <= 0.0031308f ? V * 12.92f : 1.055f * std::pow(V, 1.0f / 2.4f) - 0.055f;
}

std::string SaidOf(const MonoPicture& Picture) {
  std::string Said = Picture.Method;
  if (Picture.Dark.empty()) return Said;
  const auto Dark = static_cast<double>(std::count(Picture.Dark.begin(), Picture.Dark.end(), 1));
  const double Share = Dark / static_cast<double>(Picture.Dark.size());
  if (Share > 0.97 || Share < 0.03) {
    const bool Black = Share > 0.5;
    Said += "; warning: it came out " +
            std::to_string(static_cast<int>(std::floor(100 * (Black ? Share : 1 - Share)))) +
            (Black ? " % black" : " % white");
  }
  return Said;
}

MonoPicture ToMono(const std::uint32_t* Pixels, int Width, int Height, std::size_t Stride,
                   PictureSize Bounds, const PictureOptions& Given, const Analysis* Known) {
  MonoPicture Mono;
  if (Width <= 0 || Height <= 0) return Mono;
  const PictureOptions Options = Clamped(Given);
  const Placement Place = PlaceWithin({Width, Height}, Bounds, Options.Fit);
  const bool Shrunk = Place.Size != PictureSize{Width, Height};
  ToneMethod Method = Options.Method;
  bool LineArt = false;
  bool Drawing = false;
  Analysis Kind;
  // Brightness and contrast move the tones the ink is told by: those pictures are averaged.
  const bool Plain = Options.Brightness == 0 && Options.Contrast == 0;
  if (Method == ToneMethod::Auto) {
    Kind = Known != nullptr ? *Known : Analyse(Pixels, Width, Height, Stride);
    const bool Few = Kind.Kind == PictureKind::Exact;
    Method = Few ? ToneMethod::Threshold : ToneMethod::FloydSteinberg;
    LineArt = Few && Shrunk && Plain;
    Drawing = Kind.Kind == PictureKind::Drawing && Plain;
  }
  const bool Stretch =
      !Drawing && (Options.Levels == LevelsMode::Auto ||
                   (Options.Levels == LevelsMode::Default && Options.Method == ToneMethod::Auto &&
                    Method != ToneMethod::Threshold));
  const bool Linear = Method != ToneMethod::Threshold && Options.Scale == ToneScale::Linear;
  const float Limit = static_cast<float>(Options.Level) * 1000.0f;

  // Line art's ink is dark, as the calculator draws: dark lines on light survive the shrink.
  const GreyRule Rule = LineArt ? GreyRule{GreyMode::Ink, Limit}
                                : GreyRule{Linear ? GreyMode::Linear : GreyMode::Luma};
  std::vector<float> Grey = ShrinkGrey(Pixels, Width, Height, Stride, Place, Rule);
  Mono.Width = Place.Size.Width;
  Mono.Height = Place.Size.Height;
  Mono.Dark.resize(Grey.size());
  // A line one source pixel wide covers at least 1 / scale of the pixels it crosses along its
  // length; half of that keeps every line in the pixel that holds most of it.
  const double Scale = std::max(Place.Width / Place.Size.Width, Place.Height / Place.Size.Height);
  if (Options.Method == ToneMethod::Auto) {
    Mono.Method = Kind.Kind == PictureKind::Exact
                      ? (LineArt ? "few colours: threshold, lines kept" : "few colours: threshold")
                  : Drawing ? "drawing: lines kept + Floyd-Steinberg"
                            : "photo: levels + Floyd-Steinberg";
  } else {
    Mono.Method =
        (Stretch ? "levels + " : "") + MethodName(Method) + (Linear ? ", linear tone" : "");
  }
  if (LineArt) {
    const auto Enough = static_cast<float>(std::min(0.5, 0.5 / Scale));
    for (std::size_t I = 0; I < Grey.size(); ++I) Mono.Dark[I] = Grey[I] >= Enough ? 1 : 0;
  } else if (Drawing) {
    const float Paper = static_cast<float>(Kind.Paper) * 1000.0f;
    const std::vector<float> Ink =
        ShrinkGrey(Pixels, Width, Height, Stride, Place, GreyRule{GreyMode::Ramp, Paper});
    DrawingTones(Ink, Grey, Paper, Scale, Mono);
  } else {
    Adjust(Grey, Linear, Options);
    if (Method == ToneMethod::Threshold) {
      if (Stretch) {
        for (float& V : Grey) V /= kLumaScale;
        StretchLevels(Grey);
        for (float& V : Grey) V *= kLumaScale;
      }
      // Whole numbers times 1000 at 1:1, so "below 128" is decided exactly as IsDark does.
      for (std::size_t I = 0; I < Grey.size(); ++I) Mono.Dark[I] = Grey[I] < Limit ? 1 : 0;
    } else {
      if (!Linear) {
        for (float& V : Grey) V /= kLumaScale;
      }
      if (Stretch) StretchLevels(Grey);
      Dither(Grey, Mono.Width, Mono.Height, Method, Mono.Dark);
    }
  }
  if (Options.Invert) {
    for (std::uint8_t& D : Mono.Dark) D = D != 0 ? 0 : 1;
  }
  return Mono;
}

}  // namespace pictrane::capture
