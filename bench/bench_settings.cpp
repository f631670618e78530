// ReadValue and WriteValue through clsINI on a settings file of 1,000 keys, on real files: every
// call reads the file afresh and every write replaces it, as the program does.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "settings/IniFileStore.h"
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

}  // namespace

BENCHMARK_MAIN();
