// Whatever the timecode does, the show never fires a cue twice, never fires a cue it has named as
// skipped, and never fires a cue before its time on the show clock. Arbitrary sequences of decoded
// frames (runs, gaps, cuts, rate changes, labels that cannot exist, edges out of order) go into
// the chase while a chased show plays on the virtual bench; the operator arms and stops it too.
//
// The first byte: bit 0 autonomous launch, bits 1-3 the rate the source starts at. Then four
// bytes per step: what happens, and three bytes of its parameters.
#include "timecode/timecode_chase.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "audio/audio_device.h"
#include "devices/bench_fixture.h"
#include "show/common_player.h"
#include "show/project_list.h"
#include "support/run_log.h"

namespace {

using fd::timecode::DecodedFrame;
using fd::timecode::FrameRate;

constexpr size_t kMaxInput = 4096;
constexpr int kCues = 40;
constexpr FrameRate kRates[] = {FrameRate::Fps25, FrameRate::Fps24, FrameRate::Fps2997Drop, FrameRate::Fps30,
                                FrameRate::Unknown};

[[noreturn]] void Finding(const char* what, int cue, int32_t clock) {
  fprintf(stderr, "timecode_chase: %s (cue %d, show clock %d)\n", what, cue, clock);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  fd::audio::AcquireDevice();
  fd::support::LogLevel = 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  fd::devices::testing::BusBench bench;
  bench.engine.Stop();  // nothing unsolicited is heard here; the player's timers alone run
  bench.AddConsole(3, 0x165, 'S', 64);
  if (bench.controls->Register(3, 0) == nullptr) abort();

  // Cue k fires channel k + 1: the fire frame names its cue. Pairs share a millisecond.
  fd::show::TProjectList list;
  for (int k = 0; k < kCues; ++k) {
    fd::devices::CueRecord cue;
    cue.TimeMs = 300 + (k / 2) * 450;
    cue.Console = 3;
    cue.Channel = k;
    list.Cues().push_back(cue);
  }
  fd::show::TCommonPlayer player(bench.engine.RegistryPlatform(), *bench.port, *bench.controls);
  player.Cues = &list;
  player.LaunchMode = (data[0] & 1) ? fd::show::lmAutonomous : fd::show::lmDirect;
  fd::timecode::TimecodeChase chase;
  player.ChaseTimecode(&chase);

  std::set<int> fired;
  std::set<int> skipped;
  player.OnCueSkipped = [&](int32_t index, const std::string&) {
    if (fired.count(index) != 0) Finding("a fired cue named as skipped", index, player.Clock);
    skipped.insert(index);
  };
  bench.port->OnFrameSent = [&](const fd::bus::Frame6& frame) {
    if (frame[0] != 0x84 || frame[5] != 3) return;
    const int cue = frame[1] - 1;
    if (cue < 0 || cue >= kCues) Finding("a channel no cue names", cue, player.Clock);
    if (!fired.insert(cue).second) Finding("a cue fired twice", cue, player.Clock);
    if (skipped.count(cue) != 0) Finding("a skipped cue fired", cue, player.Clock);
    if (player.Clock < list.Cues()[cue].TimeMs) Finding("a cue fired before its time", cue, player.Clock);
  };

  FrameRate rate = kRates[(data[0] >> 1) % 4];
  int64_t number = 0;
  auto tick = [&] { return static_cast<double>(bench.platform.GetClock().TickCount()); };
  double edge = tick();
  player.ArmChase(0);
  for (size_t i = 1; i + 4 <= size; i += 4) {
    const uint8_t op = data[i];
    const uint8_t a = data[i + 1];
    const uint8_t b = data[i + 2];
    const uint8_t c = data[i + 3];
    const double frameMs = rate == FrameRate::Unknown ? 40 : fd::timecode::FrameDurationMs(rate);
    switch (op % 8) {
      case 0:
      case 1:
      case 2:
      case 3: {
        // A run of frames, each edge a frame after the last give or take b/16 ms, heard a frame later.
        for (int k = 0; k <= a % 32; ++k) {
          DecodedFrame frame;
          frame.label = fd::timecode::LabelOfFrame(number++, rate);
          frame.rate = rate;
          frame.heardMs = edge + (static_cast<int>(b) - 128) / 16.0 * ((k + c) % 2);
          edge += frameMs;
          const double due = edge + frameMs;
          if (due > tick()) bench.Advance(static_cast<uint64_t>(due - tick()) + 1);
          chase.Feed(frame);
        }
        break;
      }
      case 4:  // silence
        edge += a * 10.0 + b;
        number += static_cast<int64_t>((a * 10.0 + b) / frameMs);
        break;
      case 5:  // a cut to another label
        number = (a << 8 | b) * 8 + c;
        break;
      case 6: {  // a frame that cannot be, or from the past
        DecodedFrame frame;
        frame.label = {a % 32, b % 64, c % 64, (a ^ c) % 40};
        frame.rate = kRates[b % 5];
        frame.heardMs = edge - (c % 4) * 100.0;
        chase.Feed(frame);
        break;
      }
      case 7:
        switch (a % 4) {
          case 0:
            rate = kRates[b % 5];
            break;
          case 1:
            player.Stop(true);
            break;
          case 2:
            // Another run, from where the operator chose: what the last one fired may fire again.
            if (!player.IsPlaying()) {
              fired.clear();
              skipped.clear();
            }
            player.ArmChase(b * 100);
            break;
          case 3:
            bench.Advance(b);
            edge = std::max(edge, tick());
            break;
        }
        break;
    }
  }
  // The show runs on (freewheeling, most likely) to its end.
  bench.Advance(2000);
  player.Stop(true);
  return 0;
}
