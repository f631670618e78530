// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion run's own cost: bookkeeping per file with the pauses taken out, and memory as
// the list grows. Typing a file's keys for real is measured in bench_keys.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unordered_set>

#include "conversion/ConversionRun.h"
#include "conversion/FileScript.h"
#include "conversion/SendKeys.h"
#include "platform/Platform.h"
#include "pictrane/RaisedError.h"
#include "linux/FileSystemLinux.h"
#include "portable/IniFileStore.h"

namespace pictrane {
namespace {

using namespace linux_desktop;

// Every service answers at once and remembers nothing, so only the run itself is measured.
struct NullPlatform : Clock,
                      CommonControls,
                      FolderDialog,
                      WindowSystem,
                      KeyInjector,
                      Processes,
                      DirectoryListing,
                      FormFactory {
  void Sleep(int ms) override { Now += ms; }
  std::int64_t NowMs() override { return Now; }
  void InitCommonControlsEx(const CommonControlsRecord&) override {}
  std::optional<std::string> BrowseForFolder(WindowHandle, const std::string&,
                                             const std::string&) override {
    return {};
  }
  void MessageBox(const std::string&, MessageIcon, const std::string&) override {}
  void DoEvents() override {}
  KeyInjector& Keyboard() override { return *this; }
  void Plan(const KeyActions& a) override {
    Keys += a.size();
    Closed = a.size() == 1 && a[0].Modifiers == kAlt && a[0].Key == NamedKey::F4;
  }
  KeysOutcome StillFree(KeyTarget&) override { return KeysOutcome::Sent; }
  bool HasNext() const override { return false; }
  std::size_t NextPress(std::size_t) override { return 0; }
  void Send(std::size_t) override {}
  KeysOutcome Finish(KeyTarget&, const std::function<void()>& Handed) override {
    Handed();
    return KeysOutcome::Sent;
  }
  void Abandon() noexcept override {}
  bool CloseWindowsOf(ProcessId) override { return true; }
  ProcessId FocusedProcess() override { return 1; }
  ProcessId ParentProcess(ProcessId) override { return 0; }
  std::vector<TopLevelWindow> TopLevelWindows() override { return {}; }
  ProcessId Start(const std::string&, WindowState) override { return 1; }
  bool ShowWindow(ProcessId, int) override { return true; }
  void Stop(ProcessId, int) override {}
  bool IsRunning(ProcessId) override { return !Closed; }  // the tool ends on its close keys
  std::optional<int> ExitStatus(ProcessId) override { return std::nullopt; }
  [[noreturn]] void Terminate(int s) override { std::_Exit(s); }
  std::string Environment(const std::string&) override { return {}; }
  std::vector<FolderEntry> Entries(const std::string&) override {
    std::vector<FolderEntry> entries;
    for (int i = 0; i < Count; ++i)
      entries.push_back({"holiday picture " + std::to_string(i) + ".bmp", true, false});
    return entries;
  }
  std::unique_ptr<FormView> Create(const FormLayout&, FormEvents&) override { return nullptr; }
  std::size_t Keys = 0;
  bool Closed = false;
  std::int64_t Now = 0;
  int Count = 0;
};

struct Host : RunHost {
  int DeleteOption() override { return 0; }
  bool StopRequested() override { return false; }
};

long ResidentKiB() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A run over Count listed files whose application folder (for "list.txt") is a temporary folder.
// A picture shows up as soon as its file's keys are sent, so the check at the end passes at once.
class ListedRun {
 public:
  explicit ListedRun(int count) {
    char tmpl[] = "/tmp/pictrane-bench-XXXXXX";
    Files.App = ::mkdtemp(tmpl);
    N.Count = count;
  }
  ~ListedRun() { ::rmdir(Files.App.c_str()); }
  void Go() {
    Files.Asked.clear();
    RunConversion(P, RunInputs{"/pics", "main", "/bin/true"}, H);
  }

  struct AppFiles : FileSystemLinux {
    std::string ApplicationFolder() override { return App; }
    std::optional<FileStamp> Stat(const std::string& path) override {
      if (path.size() < 4 || path.compare(path.size() - 4, 4, ".89i") != 0)
        return FileSystemLinux::Stat(path);
      if (Asked.insert(path).second) return std::nullopt;  // before its keys
      return FileStamp{8, 1};
    }
    std::string App;
    std::unordered_set<std::string> Asked;
  };
  NullPlatform N;
  AppFiles Files;
  Host H;
  SilentProgress Progress;
  SilentNotifier Notices;
  IniFileStore Settings;
  Platform P{Settings, N, N, N, N, N, Files, N, N, Progress, Notices};
};

void BM_RunBookkeepingPerFile(benchmark::State& state) {
  const int files = static_cast<int>(state.range(0));
  ListedRun run(files);
  for (auto _ : state) run.Go();
  state.SetItemsProcessed(state.iterations() * files);
  state.counters["time_per_file"] =
      benchmark::Counter(static_cast<double>(state.iterations() * files),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RunBookkeepingPerFile)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_RunMemoryGrowth(benchmark::State& state) {
  // Resident memory after a run over 100 names and after one over 10,000: what the run keeps per
  // name (the name, its picture's path and two stamps) and nothing more.
  long small = 0, large = 0;
  for (auto _ : state) {
    {
      ListedRun run(100);
      run.Go();
      small = ResidentKiB();
    }
    {
      ListedRun run(10000);
      run.Go();
      large = ResidentKiB();
    }
  }
  state.counters["rss_100_KiB"] = static_cast<double>(small);
  state.counters["rss_10000_KiB"] = static_cast<double>(large);
  state.counters["growth_KiB"] = static_cast<double>(large - small);
}
BENCHMARK(BM_RunMemoryGrowth)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pictrane

BENCHMARK_MAIN();
