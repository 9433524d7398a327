// An hour of show on a test sound device that plays 500 ppm fast or slow against the virtual show
// clock, told where the clock stands every 25 ms as the show player's timer does. The soundtrack is
// an 8 kHz file, so all of it goes through the resampler. Prints, for each device and each way of
// playing: the distance of the sound heard from the show clock at the end and the largest on the
// way, the largest change of speed, and the processor time the hour took.
#include "bench/soundtrack_drift.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "audio/audio_device.h"
#include "audio/bass_files.h"
#include "audio/drifting_output.h"
#include "audio/output_backend.h"

namespace fd::bench {

namespace {

constexpr int kFileRate = 8000;
constexpr int kShowSeconds = 3600;
constexpr int32_t kTickMs = 25;

void Put(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// 8-bit mono with a low hum in it: what it sounds like is of no account to the clock.
void WriteSoundtrack(const std::string& path, int seconds) {
  const auto data = static_cast<uint32_t>(kFileRate * seconds);
  std::string header = "RIFF";
  Put(header, 36 + data, 4);
  header += "WAVEfmt ";
  Put(header, 16, 4);
  Put(header, 1, 2);
  Put(header, 1, 2);
  Put(header, kFileRate, 4);
  Put(header, kFileRate, 4);
  Put(header, 1, 2);
  Put(header, 8, 2);
  header += "data";
  Put(header, data, 4);
  std::string second(kFileRate, '\0');
  for (int i = 0; i < kFileRate; ++i)
    second[static_cast<size_t>(i)] = static_cast<char>(128 + (i % 80 < 40 ? 20 : -20));
  std::ofstream file(path, std::ios::binary);
  file << header;
  for (int s = 0; s < seconds; ++s) file << second;
}

struct Figures {
  double endMs = 0, worstMs = 0, mostStretch = 0, cpuSeconds = 0;
};

Figures PlayAnHour(const std::string& path, double ppm, bool follow) {
  audio::DriftingOutput device(ppm);
  audio::SetOutputBackend(&device);
  Figures f;
  {
    audio::TBassPlayer player;
    player.SetFileName(path);
    player.Open();
    if (!player.Loaded()) {
      std::printf("soundtrack not loaded: %s\n", player.OpenError().c_str());
      audio::SetOutputBackend(nullptr);
      return f;
    }
    player.SetFollowsShowClock(follow);
    const std::clock_t started = std::clock();
    player.PlayFrom(0);
    for (int32_t showMs = kTickMs; showMs <= kShowSeconds * 1000; showMs += kTickMs) {
      device.PlayUntil(showMs / 1000.0);
      player.FollowShowClock(showMs);
      f.endMs = player.ClockDistanceMs();
      f.worstMs = std::max(f.worstMs, std::fabs(f.endMs));
      f.mostStretch = std::max(f.mostStretch, std::fabs(player.SpeedStretch()));
    }
    f.cpuSeconds = static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
  }
  audio::SetOutputBackend(nullptr);
  return f;
}

// A temporary folder holding the hour's soundtrack; empty when none could be made.
std::string MakeSoundtrackFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/firnadesk-drift-XXXXXX";
  if (::mkdtemp(folder.data()) == nullptr) return {};
  WriteSoundtrack(folder + "/soundtrack-8k.wav", kShowSeconds + 5);
  return folder;
}

}  // namespace

std::vector<DriftRow> SoundtrackDriftRows() {
  const std::string folder = MakeSoundtrackFolder();
  if (folder.empty()) return {{"soundtrack drift", "no temporary folder for the soundtrack"}};
  std::vector<DriftRow> rows;
  for (double ppm : {+500.0, -500.0}) {
    for (bool follow : {true, false}) {
      const Figures f = PlayAnHour(folder + "/soundtrack-8k.wav", ppm, follow);
      char name[64], figures[160];
      std::snprintf(name, sizeof name, "soundtrack %+.0f ppm, %s", ppm, follow ? "follows" : "own speed");
      std::snprintf(figures, sizeof figures, "after %d min %+.3f ms, worst %.3f ms%s", kShowSeconds / 60, f.endMs,
                    f.worstMs, follow ? " (target <= 5 ms)" : "");
      rows.push_back({name, figures});
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return rows;
}

void PrintSoundtrackDriftFigures() {
  const std::string folder = MakeSoundtrackFolder();
  if (folder.empty()) {
    std::printf("no temporary folder for the soundtrack\n");
    return;
  }
  const std::string path = folder + "/soundtrack-8k.wav";
  std::printf("Soundtrack against the show clock, %d virtual minutes, told every %d ms (target: within 5 ms)\n",
              kShowSeconds / 60, kTickMs);
  std::printf("%-10s %-22s %12s %12s %12s %10s\n", "device", "soundtrack", "end ms", "worst ms", "most speed", "cpu s");
  for (double ppm : {+500.0, -500.0}) {
    for (bool follow : {true, false}) {
      const Figures f = PlayAnHour(path, ppm, follow);
      std::printf("%+6.0f ppm %-22s %+12.3f %12.3f %11.4f%% %10.2f\n", ppm,
                  follow ? "follows the clock" : "at its own speed", f.endMs, f.worstMs, f.mostStretch * 100,
                  f.cpuSeconds);
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace fd::bench
