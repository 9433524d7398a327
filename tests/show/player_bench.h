#pragma once

// The show player on the virtual bench: the engine without its thread, a registry, sim consoles
// and their fire log, the run log caught as the debugger would see it, and the player's events
// counted with the virtual moment each came.

#include <memory>
#include <string>
#include <vector>

#include "cue_builders.h"
#include "devices/bench_fixture.h"
#include "show/common_player.h"
#include "show/operating_mode.h"
#include "show/project_list.h"
#include "support/run_log.h"
#include "support/temp_dir.h"

namespace fd::show::testing {

class PlayerBench : public devices::testing::BusBench {
 public:
  PlayerBench() {
    support::ResetRunLog();
    support::SetLogFileName(logDir / "player.log");
    support::LogLevel = 1;
    support::SetDebugOutput([this](const std::string& text) { logLines.push_back(text); });
    player = std::make_unique<TCommonPlayer>(engine.RegistryPlatform(), *port, *controls);
    player->Cues = &list;
    port->OnMessage = [this](const bus::Frame6& frame, int converter) {
      controls->HandleFrame(frame, converter);
      player->HandleBusMessage(frame);
    };
    player->OnStateChange = [this] { stateChanges.push_back(Now()); };
    player->OnEmergencyStop = [this] { ++emergencies; };
    player->OnProgress = [this](int32_t clock) { progress.push_back({Now(), clock}); };
    player->OnIdle = [this] { idles.push_back(Now()); };
    port->OnFrameSent = [this](const bus::Frame6& frame) {
      sent.push_back(frame);
      sentAt.push_back(Now());
    };
  }
  ~PlayerBench() {
    player.reset();
    support::ResetRunLog();
  }

  void Register(std::initializer_list<int> ids) {
    for (int id : ids) ASSERT_NE(controls->Register(id, 0), nullptr) << id;
  }
  void Load(std::vector<devices::CueRecord> cues) { list.Cues() = std::move(cues); }
  // Frames put on the bus from index `from` of `sent` on, with a given code.
  std::vector<bus::Frame6> SentWith(uint8_t code, size_t from = 0) const {
    std::vector<bus::Frame6> out;
    for (size_t i = from; i < sent.size(); ++i)
      if (sent[i][0] == code) out.push_back(sent[i]);
    return out;
  }
  // The run log lines of the cues, fired or only recorded.
  std::vector<std::string> FireLines() const {
    std::vector<std::string> out;
    for (const auto& line : logLines)
      if (line.rfind("Запуск", 0) == 0) out.push_back(line);
    return out;
  }
  // Without its thread the engine's passes sleep on the virtual clock and would hold the player's
  // timers back by up to a pass; tests that hear nothing unsolicited run without them.
  void QuietEngine() { engine.Stop(); }
  bool RunUntilStopped(uint64_t limitMs) {
    return platform.AdvanceUntil([this] { return !player->IsPlaying(); }, limitMs);
  }

  struct Progress {
    uint64_t at;
    int32_t clock;
  };

  support::testing::TempDir logDir;
  TProjectList list;
  std::unique_ptr<TCommonPlayer> player;
  std::vector<uint64_t> sentAt;  // virtual moment of each entry of sent
  std::vector<std::string> logLines;
  std::vector<uint64_t> stateChanges;
  std::vector<Progress> progress;
  std::vector<uint64_t> idles;
  int emergencies = 0;
};

inline std::string FireLine(int console, int fileChannel) {
  return "Запуск, пульт: " + std::to_string(console) + ", канал: " + std::to_string(fileChannel);
}

}  // namespace fd::show::testing
