// SPDX-License-Identifier: GPL-3.0-or-later
// ReadValue and WriteValue through clsINI on a settings file of 1,000 keys, on real files: every
// call reads the file afresh and every write replaces it, as the program does. And a read from
// 50 MB files of CR, LF or CRLF lines (keys or empty lines): time, and the peak of the heap
// against the file's size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>

namespace {

// The heap in use and its peak, counted by the global operator new below.
std::atomic<std::size_t> HeapInUse{0};
std::atomic<std::size_t> HeapPeak{0};

}  // namespace

void* operator new(std::size_t Size) {
  // A header in front of each block remembers its size for operator delete.
  auto* Block = static_cast<std::size_t*>(std::malloc(Size + alignof(std::max_align_t)));
  if (Block == nullptr) throw std::bad_alloc();
  *Block = Size;
  const std::size_t Now = HeapInUse += Size;
  std::size_t Peak = HeapPeak.load();
  while (Now > Peak && !HeapPeak.compare_exchange_weak(Peak, Now)) {
  }
  return reinterpret_cast<char*>(Block) + alignof(std::max_align_t);
}

void operator delete(void* Pointer) noexcept {
  if (Pointer == nullptr) return;
  auto* Block =
      reinterpret_cast<std::size_t*>(static_cast<char*>(Pointer) - alignof(std::max_align_t));
  HeapInUse -= *Block;
  std::free(Block);
}

void operator delete(void* Pointer, std::size_t) noexcept {
  operator delete(Pointer);
}

#include "portable/IniFileStore.h"
#include "settings/clsINI.h"

namespace {

namespace fs = std::filesystem;

class SettingsFile {
 public:
  SettingsFile() {
    std::random_device Random;
    Folder_ = fs::temp_directory_path() / ("pictrane-bench-" + std::to_string(Random()));
    fs::create_directories(Folder_);
    Path_ = (Folder_ / "settings.ini").string();
    std::ofstream Out(Path_, std::ios::binary);
    Out << "; settings of the benchmark\r\n[Settings]\r\n";
    for (int I = 0; I < 1000; ++I) {
      Out << "Key" << I << "=C:\\Some Folder\\Sub folder " << I << "\\file.bmp\r\n";
    }
  }
  ~SettingsFile() {
    std::error_code Ec;
    fs::remove_all(Folder_, Ec);
  }
  const std::string& Path() const { return Path_; }

 private:
  fs::path Folder_;
  std::string Path_;
};

void BM_ReadValueNearTheEnd(benchmark::State& State) {
  SettingsFile File;
  pictrane::IniFileStore Store;
  pictrane::clsINI Ini(Store);
  Ini.INIFile(File.Path());
  for (auto _ : State) {
    std::string Value = Ini.ReadValue("Settings", "Key990");
    benchmark::DoNotOptimize(Value);
  }
  State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_ReadValueNearTheEnd)->UseRealTime();

void BM_WriteValueOfAnExistingKey(benchmark::State& State) {
  SettingsFile File;
  pictrane::IniFileStore Store;
  pictrane::clsINI Ini(Store);
  Ini.INIFile(File.Path());
  // Alternate the value so that every write really changes and replaces the file.
  const std::string Values[2] = {"C:\\pics\\new", "C:\\pics\\other"};
  std::size_t I = 0;
  for (auto _ : State) {
    Ini.WriteValue("Settings", "Key500", Values[I++ & 1]);
  }
  State.SetItemsProcessed(State.iterations());
  if (Ini.ReadValue("Settings", "Key500") != Values[(I - 1) & 1]) State.SkipWithError("lost write");
}
BENCHMARK(BM_WriteValueOfAnExistingKey)->UseRealTime();

// 50 MB of one kind of line under one header, with the key asked for at the very end.
enum LineStyle { KeyLinesLf, KeyLinesCr, KeyLinesCrLf, EmptyLinesLf };

class BigFile {
 public:
  explicit BigFile(LineStyle Style) {
    std::random_device Random;
    Folder_ = fs::temp_directory_path() / ("pictrane-bench-big-" + std::to_string(Random()));
    fs::create_directories(Folder_);
    Path_ = (Folder_ / "settings.ini").string();
    const char* Eol = Style == KeyLinesCr ? "\r" : Style == KeyLinesCrLf ? "\r\n" : "\n";
    std::string Bytes = std::string("[Settings]") + Eol;
    constexpr std::size_t Target = 50u << 20;
    Bytes.reserve(Target + 64);
    for (std::size_t I = 0; Bytes.size() < Target; ++I) {
      if (Style == EmptyLinesLf) {
        Bytes.append(std::min<std::size_t>(Target - Bytes.size(), 1u << 20), '\n');
      } else {
        Bytes.append("Key").append(std::to_string(I)).append("=C:\\Some Folder\\file.bmp");
        Bytes.append(Eol);
      }
    }
    Bytes.append("Last=found").append(Eol);
    std::ofstream(Path_, std::ios::binary) << Bytes;
    Size_ = Bytes.size();
  }
  ~BigFile() {
    std::error_code Ec;
    fs::remove_all(Folder_, Ec);
  }
  const std::string& Path() const { return Path_; }
  std::size_t Size() const { return Size_; }

 private:
  fs::path Folder_;
  std::string Path_;
  std::size_t Size_ = 0;
};

void BM_ReadFrom50MegabyteFile(benchmark::State& State) {
  const BigFile File(static_cast<LineStyle>(State.range(0)));
  pictrane::IniFileStore Store;
  std::size_t Peak = 0;
  for (auto _ : State) {
    HeapPeak = HeapInUse.load();
    const std::size_t Before = HeapInUse;
    std::string Value = Store.ReadString(File.Path(), "Settings", "Last");
    Peak = std::max(Peak, HeapPeak - Before);
    if (Value != "found") State.SkipWithError("wrong value");
    benchmark::DoNotOptimize(Value);
  }
  State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations() * File.Size()));
  State.counters["PeakHeapMB"] = static_cast<double>(Peak) / (1 << 20);
  State.counters["PeakPerFileByte"] = static_cast<double>(Peak) / static_cast<double>(File.Size());
}
BENCHMARK(BM_ReadFrom50MegabyteFile)
    ->ArgName("style")  // 0 key lines LF, 1 key lines CR, 2 key lines CRLF, 3 empty lines LF
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
