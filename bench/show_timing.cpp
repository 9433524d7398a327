// How close to their times the cues of a direct show reach the consoles, in real time: the loop
// platform, the engine with its thread, the default bench served in this process. About 200
// isolated cues spread over the consoles of every generation and kind, and a few bursts of ten cues
// at one time. For every fire frame the lateness of its last byte on the wire against its cue time
// (the bench's fire log), and for every burst its completion against what the wire allows:
// frames x (2 ms pause + 7 bytes at 19200 baud). The show runs twice: on a quiet bus, and with
// another operator program asking who is on the bus every 200 ms (each query answered after its
// random pause, which must not hold any cue back). Each runs with the show journal off and on (a
// write ahead of every fire frame, synced on its own thread), in a temporary folder. Prints
// figures; judges nothing.
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <memory>
#include <vector>

#include "bus/bus_frame.h"
#include "bus/tport.h"
#include "bus/usb_port.h"
#include "devices/controls.h"
#include "journal/show_journal.h"
#include "platform/loop_platform.h"
#include "show/common_player.h"
#include "show/project_list.h"
#include "sim/bench.h"
#include "support/run_log.h"

namespace {

using namespace fd;

constexpr int kIsolatedCues = 200;
constexpr int kBursts = 4;
constexpr int kBurstSize = 10;
constexpr double kFrameWireMs = 2.0 + 7 * 10 * 1000.0 / 19200;

// Channels each console of the default bench fires in this show (within its channel count).
struct ConsoleUse {
  int id;
  int channels;
};
constexpr ConsoleUse kConsoles[] = {{1, 16}, {2, 16}, {3, 16}, {4, 32}, {5, 4}, {6, 16}, {7, 8}};

struct Burst {
  int32_t timeMs;
  size_t firstCue;
};

devices::CueRecord Cue(int32_t timeMs, int console, int channel) {
  devices::CueRecord cue;
  cue.TimeMs = timeMs;
  cue.Console = console;
  cue.Channel = channel;
  return cue;
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t index =
      std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5));
  return values[index];
}

}  // namespace

int RunShow(bool peerAsking, bool journalOn) {
  support::LogLevel = 0;
  platform::LoopPlatform host;
  auto bench = sim::Bench::LoadDefault(host.GetClock());
  auto usb = std::make_unique<bus::TUSBPort>(bench->Driver(), host.GetClock(), 1);
  bus::TPort port(host, std::move(usb));
  devices::TControls controls(port, host);
  show::TProjectList list;
  show::TCommonPlayer player(host, port, controls);
  port.OnMessage = [&](const bus::Frame6& frame, int converter) {
    controls.HandleFrame(frame, converter);
    player.HandleBusMessage(frame);
  };
  if (!port.Open()) {
    std::fprintf(stderr, "the bench's converter did not open\n");
    return 1;
  }
  for (const auto& c : kConsoles)
    if (controls.Register(c.id, 0) == nullptr) std::fprintf(stderr, "console %d did not register\n", c.id);

  // Isolated cues 60..90 ms apart at odd milliseconds; bursts in between, over every console.
  std::vector<devices::CueRecord>& cues = list.Cues();
  std::vector<Burst> bursts;
  int32_t t = 500;
  for (int i = 0; i < kIsolatedCues; ++i) {
    const ConsoleUse& c = kConsoles[static_cast<size_t>(i) % std::size(kConsoles)];
    cues.push_back(Cue(t, c.id, i % c.channels));
    t += 60 + (i * 37) % 31;
    if ((i + 1) % (kIsolatedCues / kBursts) == 0) {
      t += 300;
      bursts.push_back({t, cues.size()});
      for (int k = 0; k < kBurstSize; ++k) {
        const ConsoleUse& b = kConsoles[static_cast<size_t>(k) % std::size(kConsoles)];
        cues.push_back(Cue(t, b.id, (k + i) % b.channels));
      }
      t += 400;
    }
  }
  player.Cues = &list;
  bench->FireLog().Clear();
  if (peerAsking) {
    // A peer query (01 00 00 66 00 FF) every 200 ms of the show, from nobody the registry knows.
    const uint64_t from = bench->Segment().NowUs() + 100'000;
    const bus::Frame6 query{0x01, 0x00, 0x00, 0x66, 0x00, 0xFF};
    const bus::BusFrame wire = bus::MakeBusFrame(query);
    for (uint64_t at = from; at < from + static_cast<uint64_t>(t) * 1000; at += 200'000)
      bench->Segment().Inject(std::vector<uint8_t>(wire.begin(), wire.end()), at);
  }
  int peerAnswers = 0;
  port.OnFrameTaken = [&](const bus::Frame6& frame) {
    if (frame[0] == 0x02) ++peerAnswers;
  };

  journal::ShowJournal showJournal;
  std::string journalFolder;
  if (journalOn) {
    std::string pattern = (std::filesystem::temp_directory_path() / "firnadesk-bench-journal-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr || !showJournal.Open(pattern, 0, {})) {
      std::fprintf(stderr, "no journal could be made in %s\n", pattern.c_str());
      return 1;
    }
    journalFolder = pattern;
    player.Journal = &showJournal;
  }

  // Bench time runs in milliseconds of the same clock as the player's ticks.
  const uint32_t tickThen = host.GetClock().TickCount();
  const uint64_t benchMsThen = bench->Segment().NowUs() / 1000;
  player.Start(0);
  const double startBenchMs = static_cast<double>(benchMsThen) + static_cast<int32_t>(player.StartTick - tickThen);
  host.RunUntil([&] { return !player.IsPlaying(); }, static_cast<uint32_t>(t) + 10000);
  port.OnMessage = nullptr;
  port.Terminate();
  port.OnFrameTaken = nullptr;
  const uint64_t journalBytes = showJournal.BytesWritten();
  showJournal.Close(player.Clock);
  if (!journalFolder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(journalFolder, ignored);
  }

  // Fire entries come in cue order; a console talked to with repeated exchanges (it sent the
  // confirmation pair) gets each firing three times.
  std::vector<int> framesPerCue(cues.size(), 1);
  for (size_t i = 0; i < cues.size(); ++i) {
    const devices::TCommonDevice* device = controls.FindByID(cues[i].Console);
    if (device != nullptr && device->RepeatMode != -1) framesPerCue[i] = 3;
  }
  const auto fired = bench->FireLog().Entries();
  std::vector<double> isolated, inBursts, isolatedFirst;
  std::vector<double> cueDone(cues.size(), -1);
  std::vector<int> cueFrames(cues.size(), 0);
  size_t cue = 0;
  size_t unmatched = 0;
  for (const auto& entry : fired) {
    while (cue < cues.size() && cueFrames[cue] >= framesPerCue[cue]) ++cue;
    // A frame that met another station's on the wire fired nothing: look a few cues ahead for the
    // one this firing belongs to.
    size_t match = cue;
    while (match < cues.size() && match < cue + 8 &&
           (cueFrames[match] >= framesPerCue[match] || entry.console != cues[match].Console ||
            entry.channel != cues[match].Channel + 1))
      ++match;
    if (match >= cues.size() || match >= cue + 8) {
      ++unmatched;
      continue;
    }
    cue = match;
    ++cueFrames[cue];
    const double late = entry.TimeMs() - startBenchMs - cues[cue].TimeMs;
    cueDone[cue] = late;
    const bool burst = std::any_of(bursts.begin(), bursts.end(),
                                   [&](const Burst& b) { return cue >= b.firstCue && cue < b.firstCue + kBurstSize; });
    (burst ? inBursts : isolated).push_back(late);
    if (!burst && cueFrames[cue] == 1) isolatedFirst.push_back(late);
  }

  size_t missing = 0;
  for (size_t i = 0; i < cues.size(); ++i)
    if (cueFrames[i] == 0) ++missing;
  std::printf("%s, journal %s\n", peerAsking ? "== with a peer asking every 200 ms" : "== on a quiet bus",
              journalOn ? "on" : "off");
  if (journalOn)
    std::printf("journal: %llu bytes written ahead of the fire frames%s\n",
                static_cast<unsigned long long>(journalBytes), showJournal.Failed() ? ", FAILED" : "");
  std::printf("show: %zu cues (%d isolated, %d bursts of %d), %zu fire frames, %zu cues not seen, %zu firings "
              "not matched, %d peer answers sent\n",
              cues.size(), kIsolatedCues, kBursts, kBurstSize, fired.size(), missing, unmatched, peerAnswers);
  std::printf("isolated fire frames: n=%zu  lateness p50 %.1f ms  p99 %.1f ms  max %.1f ms  (target p99 <= 10 ms)\n",
              isolated.size(), Percentile(isolated, 0.5), Percentile(isolated, 0.99),
              isolated.empty() ? 0.0 : *std::max_element(isolated.begin(), isolated.end()));
  // The repeats of a repeated firing follow the first on the wire; the first says when it fired.
  std::printf("isolated cues, first frame: n=%zu  lateness p50 %.1f ms  p99 %.1f ms  max %.1f ms\n",
              isolatedFirst.size(), Percentile(isolatedFirst, 0.5), Percentile(isolatedFirst, 0.99),
              isolatedFirst.empty() ? 0.0 : *std::max_element(isolatedFirst.begin(), isolatedFirst.end()));
  for (const Burst& b : bursts) {
    int frames = 0;
    double done = 0;
    for (size_t i = b.firstCue; i < b.firstCue + kBurstSize; ++i) {
      frames += cueFrames[i];
      done = std::max(done, cueDone[i]);
    }
    const double limit = frames * kFrameWireMs;
    std::printf("burst at %6d ms: %2d frames, done after %.1f ms, wire limit %.1f ms, ratio %.2f  (target <= 1.2)\n",
                b.timeMs, frames, done, limit, limit > 0 ? done / limit : 0.0);
  }
  return 0;
}

int main() {
  int status = 0;
  for (const bool journalOn : {false, true})
    for (const bool peerAsking : {false, true})
      if (const int s = RunShow(peerAsking, journalOn); s != 0) status = s;
  return status;
}
