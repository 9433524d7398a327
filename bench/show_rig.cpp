#include "show_rig.h"

#include <cstdio>
#include <set>

#include "bus/usb_port.h"
#include "sim/bench_file.h"
#include "sim/default_bench.h"

namespace fd::benchmarks {

ShowRig::ShowRig(const std::string& extraBenchLines, bool withDefaultBench) {
  std::string error;
  const std::string text =
      (withDefaultBench ? std::string(sim::kDefaultBenchText) + "\n" : std::string()) + extraBenchLines;
  auto config = sim::ParseBench(text, "rig.bench", error);
  if (!config) {
    std::fprintf(stderr, "show rig: %s\n", error.c_str());
    std::abort();
  }
  bench = std::make_unique<sim::Bench>(*config, host.GetClock());
  auto usb = std::make_unique<bus::TUSBPort>(bench->Driver(), host.GetClock(), 1);
  port = std::make_unique<bus::TPort>(host, std::move(usb));
  controls = std::make_unique<devices::TControls>(*port, host);
  player = std::make_unique<show::TCommonPlayer>(host, *port, *controls);
  player->Cues = &list;
  port->OnMessage = [this](const bus::Frame6& frame, int converter) {
    controls->HandleFrame(frame, converter);
    player->HandleBusMessage(frame);
  };
  if (!port->Open()) {
    std::fprintf(stderr, "show rig: the bench's converter does not open\n");
    std::abort();
  }
}

ShowRig::~ShowRig() {
  if (player->IsPlaying()) player->Stop(true);
  port->OnMessage = nullptr;
  port->Terminate();
}

int ShowRig::Register() {
  std::set<int> consoles;
  for (const auto& cue : list.Cues()) consoles.insert(cue.Console);
  const int found = controls->SearchListed(std::vector<int>(consoles.begin(), consoles.end()));
  controls->SortByID();
  return found;
}

void ShowRig::SetCues(std::vector<devices::CueRecord> cues) {
  list.Clear();
  list.Cues() = std::move(cues);
  list.SortByTime();
}

uint64_t ShowRig::Play(int32_t fromMs, uint32_t limitMs) {
  player->Clock = fromMs;
  // The show clock starts at the player's StartTick, which Start takes after its level exchanges.
  const uint32_t tick0 = host.GetClock().TickCount();
  const uint64_t us0 = bench->Segment().NowUs();
  player->Start(fromMs);
  const uint64_t startUs = us0 + static_cast<uint64_t>(platform::TicksSince(tick0, player->StartTick)) * 1000;
  host.RunUntil([&] { return !player->IsPlaying(); }, limitMs);
  return startUs;
}

std::vector<sim::PlannedFire> ShowRig::Planned(int32_t fromMs) const { return sim::PlannedFires(list.Cues(), fromMs); }

std::string LatenessText(const sim::FireAudit& audit) {
  char text[128];
  std::snprintf(text, sizeof text, "p50 %.1f ms  p99 %.1f ms  max %.1f ms", audit.LatenessPercentile(50),
                audit.LatenessPercentile(99), audit.LatenessPercentile(100));
  return text;
}

}  // namespace fd::benchmarks
