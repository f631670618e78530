// SPDX-License-Identifier: GPL-3.0-or-later
// The capture tool's picture pipeline on 640 x 480 photos: read (Qt), shrink by area averaging
// to the TI-89 screen, tone to one bit, lay out as a picture variable; and the shrink-and-tone
// step alone. Photos come from the folder in PICTRANE_BENCH_PHOTOS (bench/pictures-vs-pillow.py
// fills one with sample photographs); without it, a made-up 640 x 480 picture is used.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>
#include <QStringList>
#include <cstdlib>
#include <vector>

#include "calc/PicLayout.h"
#include "picture/PictureFile.h"
#include "picture/PixelConversion.h"

namespace {

using namespace pictrane::capture;

QStringList PhotoFiles() {
  const char* Folder = std::getenv("PICTRANE_BENCH_PHOTOS");
  if (Folder == nullptr) return {};
  QDir Dir(QString::fromLocal8Bit(Folder));
  QStringList Files;
  for (const QString& Name : Dir.entryList({"*.png", "*.jpg", "*.bmp"}, QDir::Files, QDir::Name)) {
    Files << Dir.filePath(Name);
  }
  return Files;
}

QImage MadeUpPhoto() {
  QImage Image(640, 480, QImage::Format_RGB32);
  for (int Y = 0; Y < 480; ++Y) {
    for (int X = 0; X < 640; ++X) {
      const int Noise = (X * 7919 + Y * 104729) % 37;
      Image.setPixel(X, Y, qRgb((X / 3 + Noise) % 256, (Y / 2 + Noise) % 256, (X + Y) / 5 % 256));
    }
  }
  return Image;
}

PictureOptions With(ToneMethod Method) {
  PictureOptions Options;
  Options.Method = Method;
  return Options;
}

// The batch's work for one file, without writing it: read, convert, lay out.
void BM_ReadConvertEncode(benchmark::State& State) {
  const QStringList Files = PhotoFiles();
  if (Files.isEmpty()) {
    State.SkipWithError("PICTRANE_BENCH_PHOTOS names no folder of photos");
    return;
  }
  const PictureOptions Options = With(static_cast<ToneMethod>(State.range(0)));
  qsizetype Next = 0;
  for (auto _ : State) {
    const QImage Photo = LoadPicture(Files[Next++ % Files.size()]);
    benchmark::DoNotOptimize(EncodePic(ToMono(Photo, kTi89Screen, Options)));
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_ShrinkAndTone(benchmark::State& State) {
  const QStringList Files = PhotoFiles();
  std::vector<QImage> Photos;
  for (const QString& File : Files) Photos.push_back(LoadPicture(File));
  if (Photos.empty()) Photos.push_back(MadeUpPhoto());
  const PictureOptions Options = With(static_cast<ToneMethod>(State.range(0)));
  std::size_t Next = 0;
  for (auto _ : State) {
    benchmark::DoNotOptimize(ToMono(Photos[Next++ % Photos.size()], kTi89Screen, Options));
  }
  State.SetItemsProcessed(State.iterations());
}

void Methods(benchmark::internal::Benchmark* Bench) {
  Bench->ArgName("method");
  for (int M = 0; M < static_cast<int>(kToneMethods.size()); ++M) Bench->Arg(M);
}

BENCHMARK(BM_ReadConvertEncode)->Apply(Methods)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShrinkAndTone)->Apply(Methods)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
