#include "show/journal_header.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

#include "devices/common_control.h"
#include "show/common_player.h"
#include "support/sha256.h"
#include "support/version_text.h"

namespace fd::show {

namespace {

// A journal is read later, perhaps from another folder: it names its files in full.
std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace

std::string RememberedFileSha256(const std::string& path) {
  struct Known {
    std::string path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type written;
    std::string digest;
  };
  static std::mutex mutex;
  static Known known;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return support::FileSha256Hex(path);
  const auto written = std::filesystem::last_write_time(path, error);
  if (error) return support::FileSha256Hex(path);
  std::lock_guard<std::mutex> lock(mutex);
  if (known.path == path && known.size == size && known.written == written && !known.digest.empty())
    return known.digest;
  known = {path, size, written, support::FileSha256Hex(path)};
  return known.digest;
}

journal::JournalHeader ShowJournalHeader(const std::string& scenarioPath, const std::string& soundtrackPath,
                                         uint8_t launchMode, int32_t startMs, const devices::TControls& controls,
                                         const MemoryResults& memory) {
  journal::JournalHeader header;
  header.programVersion = support::ProgramVersionText();
  header.scenarioPath = AbsolutePath(scenarioPath);
  // The file as it is on disk now: what a report or a resume compares a scenario against.
  header.scenarioSha256 = support::FileSha256Hex(scenarioPath);
  header.soundtrackPath = soundtrackPath.empty() ? std::string() : AbsolutePath(soundtrackPath);
  if (!soundtrackPath.empty()) header.soundtrackSha256 = RememberedFileSha256(soundtrackPath);
  header.launchMode = launchMode == lmAutonomous ? "autonomous" : "direct";
  header.startMs = startMs;
  for (int i = 0; i < controls.Count(); ++i) {
    const devices::TCommonDevice* device = controls.Items(i);
    if (device == nullptr) continue;
    journal::ConsoleState state;
    state.id = device->ID;
    char firmware[16];
    std::snprintf(firmware, sizeof firmware, "%X", static_cast<unsigned>(device->Version));
    state.firmware = firmware;
    if (const auto* console = dynamic_cast<const devices::TCommonControl*>(device)) {
      state.voltage = console->Voltage;
      state.linkQuality = console->LinkQuality();
    }
    header.consoles.push_back(state);
  }
  header.lastWriteResult = memory.writeResult;
  header.lastWriteSha256 = memory.writeSha256;
  header.lastVerifyResult = memory.verifyResult;
  header.lastVerifySha256 = memory.verifySha256;
  return header;
}

journal::CueEvent JournalCueOf(const devices::CueRecord& cue) {
  journal::CueEvent event;
  event.line = cue.Line;
  event.console = cue.Console;
  if (devices::IsMotionCue(cue.CueKind))
    event.motion = cue.CueKind;
  else
    event.channel = cue.Channel + 1;
  event.plannedMs = cue.TimeMs;
  return event;
}

}  // namespace fd::show
