// How long loading a big scenario takes: a million cues in every field form, with Windows-1251
// comments; once in time order (as scenarios are usually written) and once shuffled, so that the
// sort has all the work to do.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "show/project_list.h"

namespace {

constexpr int kCues = 1'000'000;

// The same millisecond in the three ways a time field can be written.
std::string TimeField(int ms, int form) {
  int s = ms / 1000, frac = ms % 1000;
  char text[48];
  switch (form % 3) {
    case 0:
      std::snprintf(text, sizeof text, "%d.%03d", s, frac);
      break;
    case 1:
      std::snprintf(text, sizeof text, "%d:%02d.%03d", s / 60, s % 60, frac);
      break;
    default:
      std::snprintf(text, sizeof text, "%d:%02d:%02d.%03d", s / 3600, s / 60 % 60, s % 60, frac);
  }
  return text;
}

class ScenarioFile {
 public:
  explicit ScenarioFile(bool shuffled) {
    path_ = (std::filesystem::temp_directory_path() /
             ("firnadesk-bench-" + std::to_string(::getpid()) + (shuffled ? "-shuffled" : "-ordered") + ".txt"))
                .string();
    std::ofstream out(path_, std::ios::binary);
    std::mt19937 random(1);
    std::string line;
    for (int i = 0; i < kCues; ++i) {
      int ms = shuffled ? static_cast<int>(random() % 3'600'000) : static_cast<int>(i * 3LL);
      line = TimeField(ms, i);
      line += '\t';
      line += std::to_string(random() % 199 + 1);
      line += '\t';
      if (i % 10 == 0) {
        line += "#LT#2.5#80";
      } else {
        line += std::to_string(random() % 512 + 1);
      }
      // "Залп " in Windows-1251 on every other line, plain ASCII on the rest.
      line += (i % 2) ? "\t\xc7\xe0\xeb\xef " : "\tshot ";
      line += std::to_string(i);
      line += (i % 4 == 0) ? "\r\n" : "\n";
      out << line;
    }
  }
  ~ScenarioFile() { std::remove(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void LoadMillionCues(benchmark::State& state, const ScenarioFile& file) {
  fd::show::TProjectList list;
  for (auto _ : state) {
    fd::show::LoadResult r = list.LoadFromFile(file.Path());
    if (!r.Ok() || list.Count() != kCues) {
      state.SkipWithError("the generated scenario did not load");
      break;
    }
    benchmark::DoNotOptimize(list.LastTime());
  }
  state.counters["cues"] = list.Count();
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file.Path())) / (1024.0 * 1024.0);
}
void BM_LoadMillionCuesInTimeOrder(benchmark::State& state) {
  static ScenarioFile file(false);
  LoadMillionCues(state, file);
}
void BM_LoadMillionCuesShuffled(benchmark::State& state) {
  static ScenarioFile file(true);
  LoadMillionCues(state, file);
}
BENCHMARK(BM_LoadMillionCuesInTimeOrder)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadMillionCuesShuffled)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
