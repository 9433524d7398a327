// The run log opens, appends to and closes its file for every line; these figures say what that
// costs per line, for new texts and for repeats (which cut the file back first).
#include "support/run_log.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/cp1251.h"
#include "support/version_text.h"

namespace {

class LogFolder {
 public:
  LogFolder() {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/firnadesk-bench-XXXXXX";
    if (::mkdtemp(path_.data()) == nullptr) path_.clear();
  }
  ~LogFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  std::string File() const { return path_ + "/run.log"; }

 private:
  std::string path_;
};

void PrepareLog(const LogFolder& folder) {
  fd::support::ResetRunLog();
  fd::support::SetDebugOutput(nullptr);
  fd::support::SetLogFileName(folder.File());
}

void BM_WriteLogNewTexts(benchmark::State& state) {
  LogFolder folder;
  PrepareLog(folder);
  int64_t n = 0;
  for (auto _ : state) fd::support::WriteLog("Запуск, пульт: 12, канал: " + std::to_string(++n), 1);
  state.counters["failed"] = fd::support::LogFailed() ? 1 : 0;
  fd::support::ResetRunLog();
}
BENCHMARK(BM_WriteLogNewTexts);

void BM_WriteLogRepeats(benchmark::State& state) {
  LogFolder folder;
  PrepareLog(folder);
  for (auto _ : state) fd::support::WriteLog("Связь с конвертером потеряна", 1);
  state.counters["failed"] = fd::support::LogFailed() ? 1 : 0;
  fd::support::ResetRunLog();
}
BENCHMARK(BM_WriteLogRepeats);

void BM_WriteLogFilteredOut(benchmark::State& state) {
  fd::support::ResetRunLog();
  fd::support::LogLevel = 0;  // the console's setting: nothing passes
  for (auto _ : state) fd::support::WriteLog("Запуск, пульт: 12, канал: 3", 1);
  fd::support::ResetRunLog();
}
BENCHMARK(BM_WriteLogFilteredOut);

void BM_Utf8ToCp1251Line(benchmark::State& state) {
  const std::string line = "06.12.2026 23:41:07: Запуск ПО управления, версия: 2.0.0.1\r\n";
  for (auto _ : state) benchmark::DoNotOptimize(fd::support::Utf8ToCp1251(line));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_Utf8ToCp1251Line);

void BM_FileVersionOfThisProgram(benchmark::State& state) {
  const std::string program = fd::support::ProgramFileName();
  for (auto _ : state) benchmark::DoNotOptimize(fd::support::FileVersionText(program));
}
BENCHMARK(BM_FileVersionOfThisProgram)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
