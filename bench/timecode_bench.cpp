// How well the show clock chases timecode, on generated frames (pure logic, no real time): frames
// reach the chase a frame after their edge, as the decoder hands them over, and the show clock is
// read at every true frame edge of the source. For each rate and source speed: frames to lock,
// the chase error (show clock minus the timecode at the edge) p50/p99/max over ten minutes once
// settled (from 1 s after the lock), the largest step of the clock against a 25 ms tick, and the
// error after a 2 s dropout, freewheeling. Prints figures; judges nothing.
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/soundtrack_drift.h"
#include "timecode/frame_generator.h"
#include "timecode/timecode_chase.h"

namespace {

using namespace fd::timecode;

constexpr double kJitterMs = 0.5;
constexpr double kRunMs = 600000;
constexpr double kTickMs = 25;

struct Row {
  std::string name;
  std::string figures;
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5))];
}

// Delivers every frame whose edge lies a frame before atMs, then reads the clock there.
struct Drive {
  FrameGenerator& gen;
  TimecodeChase& chase;
  bool silent = false;
  std::optional<double> At(double atMs) {
    while (gen.NextEdgeMs() + gen.FrameMs() <= atMs) {
      const DecodedFrame frame = gen.Next();
      if (!silent) chase.Feed(frame);
    }
    chase.Update(atMs);
    return chase.ShowTime(atMs);
  }
};

Row ChaseRow(FrameRate rate, double ppm) {
  FrameGenerator gen({rate, {10, 0, 0, 0}, 1000, ppm, kJitterMs, 42});
  TimecodeChase chase({10, 0, 0, 0});
  Drive drive{gen, chase};
  std::vector<double> errors;
  double lockedAt = -1;
  double maxStep = 0;
  std::optional<double> lastTick;
  double nextTick = 1000;
  // Clock readings at every true edge and on a 25 ms tick, in time order.
  const double frameMs = gen.FrameMs();
  for (int64_t k = 0;; ++k) {
    const double edge = 1000 + static_cast<double>(k) * frameMs;
    if (edge >= 1000 + kRunMs) break;
    for (; nextTick < edge; nextTick += kTickMs) {
      const auto show = drive.At(nextTick);
      if (show && lastTick) maxStep = std::max(maxStep, std::fabs(*show - *lastTick - kTickMs));
      lastTick = show;
    }
    const double truth = gen.TimecodeAt(edge) - TimecodeMs({10, 0, 0, 0}, rate);
    const auto show = drive.At(edge);
    if (!show) continue;
    if (lockedAt < 0) lockedAt = edge;
    if (edge - lockedAt >= 1000) errors.push_back(std::fabs(*show - truth));
  }
  char text[256];
  std::snprintf(
      text, sizeof text,
      "lock %d frames  error p50 %.2f ms  p99 %.2f ms  max %.2f ms  largest step %.2f ms/tick  (targets: lock "
      "<= 10, p99 <= 2 ms, step <= 1 ms)",
      chase.LockFrames(), Percentile(errors, 0.5), Percentile(errors, 0.99),
      errors.empty() ? 0.0 : *std::max_element(errors.begin(), errors.end()), maxStep);
  return {std::string(FrameRateText(rate)) + (ppm >= 0 ? " +" : " ") + std::to_string(static_cast<int>(ppm)) + " ppm",
          text};
}

Row FreewheelRow(FrameRate rate, double ppm) {
  FrameGenerator gen({rate, {}, 1000, ppm, kJitterMs, 7});
  TimecodeChase chase;
  Drive drive{gen, chase};
  for (double t = 1000; t < 31000; t += kTickMs) drive.At(t);  // 30 s to learn the rate
  drive.silent = true;
  double t = 31000;
  for (; t < 33000; t += kTickMs) drive.At(t);
  const auto show = drive.At(t);
  const double error = show ? *show - gen.TimecodeAt(t) : 0;
  char text[160];
  std::snprintf(text, sizeof text, "after a 2 s dropout: %s, freewheel error %.2f ms, dropouts %d",
                ChaseStateText(chase.State()), error, chase.Dropouts());
  return {std::string(FrameRateText(rate)) + (ppm >= 0 ? " +" : " ") + std::to_string(static_cast<int>(ppm)) + " ppm",
          text};
}

// The soundtrack's drift against the show clock is measured elsewhere; its rows join these here.
void AddSoundtrackDriftRows(std::vector<Row>& rows) {
  for (const fd::bench::DriftRow& row : fd::bench::SoundtrackDriftRows()) rows.push_back({row.name, row.figures});
}

}  // namespace

int main() {
  setenv("SDL_AUDIODRIVER", "dummy", 0);  // the drift rows' test device stands in for the card
  std::vector<Row> rows;
  for (const FrameRate rate : {FrameRate::Fps25, FrameRate::Fps2997Drop})
    for (const double ppm : {1000.0, -1000.0}) rows.push_back(ChaseRow(rate, ppm));
  for (const FrameRate rate : {FrameRate::Fps25, FrameRate::Fps2997Drop})
    for (const double ppm : {1000.0, -1000.0}) rows.push_back(FreewheelRow(rate, ppm));
  AddSoundtrackDriftRows(rows);
  std::printf("timecode chase, edges jittered +-%.1f ms, 10 min a run; soundtrack drift, 60 virtual min\n", kJitterMs);
  for (const Row& row : rows) std::printf("%-32s %s\n", row.name.c_str(), row.figures.c_str());
  return 0;
}
