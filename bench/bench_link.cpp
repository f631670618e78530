// SPDX-License-Identifier: GPL-3.0-or-later
// Sending pictures over the virtual cable to the stand-in calculator of the capture tool's tests.
// Run it as the stand-in's command, in an IPC namespace of its own:
//   unshare --ipc build/linux/bin/standin_calc -- build/linux/bin/bench_link
// Counters: the pictures' bytes a second end to end, and the cable library's own measure of its
// data packets (library_us_per_byte).

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "calc/CalcFile.h"
#include "link/CalcLink.h"
#include "calc/PicLayout.h"

namespace {

using namespace pictrane::capture;

CalcPicture Picture(int Index) {
  MonoPicture Mono{160, 100, std::vector<std::uint8_t>(160 * 100)};
  for (std::size_t I = 0; I < Mono.Dark.size(); ++I) Mono.Dark[I] = ((I * 7 + Index) % 3) == 0;
  std::u32string Name = U"pic";
  Name += static_cast<char32_t>(U'a' + Index);
  return {CalcModelId::Ti89, Name, U"main", EncodePic(Mono)};
}

CalcLink& Link() {
  static CalcLink Instance(LinkSettings{CableKind::Virtual, 0, 20, {}});
  return Instance;
}

void Send(benchmark::State& State, int Count) {
  QTemporaryDir Folder;
  std::vector<CalcPicture> Pictures;
  std::size_t Bytes = 0;
  for (int I = 0; I < Count; ++I) {
    Pictures.push_back(Picture(I));
    Bytes += Pictures.back().PicData.size();
  }
  const std::string Path = Folder.filePath(Count == 1 ? "one.89i" : "many.89g").toStdString();
  if (Count == 1) {
    WriteCalcPicture(Path, Pictures.front());
  } else {
    WriteCalcGroup(Path, CalcModelId::Ti89, Pictures);
  }
  for (auto _ : State) Link().SendFile(Path);
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations() * Bytes));
  if (Link().Rate() > 0) State.counters["library_us_per_byte"] = 1e6 / Link().Rate();
}

void BM_SendOnePicture(benchmark::State& State) {
  Send(State, 1);
}
void BM_SendTwentyPictureGroup(benchmark::State& State) {
  Send(State, 20);
}

BENCHMARK(BM_SendOnePicture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SendTwentyPictureGroup)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
