// Writing and verifying a scenario of 64 cues in one console, once per memory generation (one
// cell per channel below 148; 10 ms records from 148; 2 ms records with confirmation from 165),
// in real time: the loop platform, the engine with its thread, the bench in this process. Each is
// set against its wire limit: the bytes that went over the wire during the run at 19200 baud
// (10 bits a byte), which is what the line itself cannot go below. Writes below 165 go unanswered
// and pause 70 ms after each record, as those consoles need. Prints figures; judges nothing.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "show_rig.h"
#include "support/run_log.h"

namespace {

using namespace fd;

constexpr int kCues = 64;
constexpr double kByteMs = 10 * 1000.0 / 19200;

struct Generation {
  const char* name;
  const char* benchLine;
};

const Generation kGenerations[] = {
    {"147 (one cell per channel)", "console 10 version 147 channels 64\n"},
    {"151 (10 ms records)", "console 10 version 151 channels 64\n"},
    {"168 (2 ms records, confirmed)", "console 10 version 168 channels 64 confirm A5\n"},
    {"36B (2 ms records, confirmed)", "console 10 version 36B channels 64 confirm 5A\n"},
};

struct Timing {
  double ms = 0;
  double wireMs = 0;
  int result = 0;
};

double WireMsSince(sim::BusSegment& segment, uint64_t sinceUs) {
  uint64_t bytes = 0;
  for (const auto& r : segment.WireLog())
    if (r.startUs >= sinceUs) bytes += r.bytes.size();
  return static_cast<double>(bytes) * kByteMs;
}

template <typename Run>
Timing Measure(benchmarks::ShowRig& rig, Run run) {
  sim::BusSegment& segment = rig.bench->Segment();
  segment.ClearWireLog();
  const uint64_t startUs = segment.NowUs();
  const auto start = std::chrono::steady_clock::now();
  Timing t;
  t.result = run();
  t.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  t.wireMs = WireMsSince(segment, startUs);
  return t;
}

}  // namespace

int main() {
  support::LogLevel = 0;
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  std::printf("%-32s %10s %10s %7s   %10s %10s %7s\n", "generation", "write ms", "wire ms", "ratio", "verify ms",
              "wire ms", "ratio");
  for (const Generation& g : kGenerations) {
    benchmarks::ShowRig rig(g.benchLine, false);
    std::vector<devices::CueRecord> cues;
    for (int i = 0; i < kCues; ++i) {
      devices::CueRecord cue;
      cue.TimeMs = 1000 + i * 250;
      cue.Console = 10;
      cue.Channel = i;
      cue.Line = i + 1;
      cues.push_back(cue);
    }
    rig.SetCues(cues);
    rig.Register();
    const Timing write = Measure(rig, [&] { return rig.controls->WriteScenario(rig.list.Cues()); });
    const Timing verify = Measure(rig, [&] { return rig.controls->VerifyScenario(rig.list.Cues()); });
    std::printf("%-32s %10.0f %10.0f %7.2f   %10.0f %10.0f %7.2f", g.name, write.ms, write.wireMs,
                write.wireMs > 0 ? write.ms / write.wireMs : 0, verify.ms, verify.wireMs,
                verify.wireMs > 0 ? verify.ms / verify.wireMs : 0);
    if (write.result != 0 || verify.result != 0) std::printf("   (write %d, verify %d)", write.result, verify.result);
    std::printf("\n");
  }
  return 0;
}
