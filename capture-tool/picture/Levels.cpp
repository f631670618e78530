// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/Levels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace pictrane::capture {

namespace {

// Ranks are found through a histogram of coarse bins, which keep the values' order: only the
// values of the bin a rank falls in are ordered, not a copy of the whole picture.
constexpr int kRankBins = 4096;

std::size_t RankBin(float V) {
  return static_cast<std::size_t>(std::clamp(V, 0.0f, 1.0f) * (kRankBins - 1));
}

// The value that would stand at Rank were Values sorted.
float AtRank(const std::vector<float>& Values, const std::array<std::uint32_t, kRankBins>& Counts,
             std::size_t Rank) {
  std::size_t Bin = 0;
  for (; Rank >= Counts[Bin]; ++Bin) Rank -= Counts[Bin];
  std::vector<float> Within;
  Within.reserve(Counts[Bin]);
  for (const float V : Values)
    if (RankBin(V) == Bin) Within.push_back(V);
  std::nth_element(Within.begin(), Within.begin() + static_cast<std::ptrdiff_t>(Rank),
                   Within.end());
  return Within[Rank];
}

}  // namespace

void StretchLevels(std::vector<float>& Grey) {
  if (Grey.size() < 2) return;
  std::array<std::uint32_t, kRankBins> RankCounts{};
  for (const float V : Grey) ++RankCounts[RankBin(V)];
  const auto Percentile = [&](double Share) {
    return AtRank(Grey, RankCounts,
                  static_cast<std::size_t>(Share * static_cast<double>(Grey.size() - 1)));
  };
  const float Low = Percentile(0.01);
  const float High = Percentile(0.99);
  if (High - Low < 1.0f / 16) return;
  // The gamma is found and applied through a table of the stretched tones, not a power per
  // pixel: fine enough for a dither, and it keeps the default as fast as the plain dithers.
  constexpr int kSteps = 1024;
  const auto Stretched = [&](float V) {
    return std::clamp((V - Low) / (High - Low), 0.0f, 1.0f) * static_cast<float>(kSteps - 1);
  };
  // The mean under a gamma, from a coarser histogram of the stretched tones and their logarithms.
  constexpr int kBins = 256;
  std::array<std::int64_t, kBins> Counts{};
  for (const float V : Grey) {
    // Rounded half up, as lround does for these non-negative values, without its call.
    const double Bin = static_cast<double>(Stretched(V) * (kBins - 1) / (kSteps - 1)) + 0.5;
    ++Counts[static_cast<std::size_t>(Bin)];
  }
  static const std::array<double, kBins> kBinLogs = [] {
    std::array<double, kBins> Logs{};
    for (int I = 1; I < kBins; ++I) Logs[I] = std::log(I / (kBins - 1.0));
    return Logs;
  }();
  const auto MeanOf = [&](double Gamma) {
    double Sum = 0;
    for (int I = 1; I < kBins; ++I) {
      if (Counts[I] != 0) Sum += static_cast<double>(Counts[I]) * std::exp(Gamma * kBinLogs[I]);
    }
    return Sum / static_cast<double>(Grey.size());
  };
  double Sum = 0;
  for (const float V : Grey) Sum += V;
  const double Target = std::clamp(Sum / static_cast<double>(Grey.size()), 0.1, 0.9);
  double Gamma = 1;
  for (int Step = 0; Step < 4; ++Step) {
    const double Mean = std::clamp(MeanOf(Gamma), 0.01, 0.99);
    Gamma = std::clamp(Gamma * std::log(Target) / std::log(Mean), 0.2, 5.0);
  }
  static const std::array<double, kSteps> kStepLogs = [] {
    std::array<double, kSteps> Logs{};
    for (int I = 1; I < kSteps; ++I) Logs[I] = std::log(I / (kSteps - 1.0));
    return Logs;
  }();
  std::array<float, kSteps + 1> Curve{};
  for (int I = 1; I < kSteps; ++I) Curve[I] = static_cast<float>(std::exp(Gamma * kStepLogs[I]));
  Curve[kSteps] = 1.0f;
  for (float& V : Grey) {
    const float At = Stretched(V);
    const auto I = static_cast<std::size_t>(At);
    V = Curve[I] + (At - static_cast<float>(I)) * (Curve[I + 1] - Curve[I]);
  }
}

}  // namespace pictrane::capture
