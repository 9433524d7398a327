#pragma once

// A show in real time on the in-process bench, as the console runs it: the loop platform, the
// engine with its thread, the registry and the show player, with the bench's fire log to judge
// what came of it. Shared by the show benchmarks.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bus/tport.h"
#include "devices/controls.h"
#include "platform/loop_platform.h"
#include "show/common_player.h"
#include "show/project_list.h"
#include "sim/bench.h"
#include "sim/fire_audit.h"

namespace fd::benchmarks {

class ShowRig {
 public:
  // The default bench's devices plus any lines given (a remote control, say); or, with
  // withDefaultBench false, only the devices of those lines.
  explicit ShowRig(const std::string& extraBenchLines = {}, bool withDefaultBench = true);
  ~ShowRig();

  platform::LoopPlatform host;
  std::unique_ptr<sim::Bench> bench;
  std::unique_ptr<bus::TPort> port;
  std::unique_ptr<devices::TControls> controls;
  show::TProjectList list;
  std::unique_ptr<show::TCommonPlayer> player;

  // Registers the consoles the cues name (and radios and the remote), as a scenario command does.
  int Register();
  // Replaces the scenario with these cues (sorted by time).
  void SetCues(std::vector<devices::CueRecord> cues);
  // Runs the show from fromMs until it stops by itself, is stopped, or limitMs passed. Returns the
  // bench time in microseconds at which the show clock started.
  uint64_t Play(int32_t fromMs, uint32_t limitMs);
  // The show's cues as the bench should fire them.
  std::vector<sim::PlannedFire> Planned(int32_t fromMs = 0) const;
};

// "p50 1.2 ms  p99 8.0 ms  max 9.1 ms"
std::string LatenessText(const sim::FireAudit& audit);

}  // namespace fd::benchmarks
