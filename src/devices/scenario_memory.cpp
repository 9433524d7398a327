// Writing the scenario into the consoles' memory and reading it back, console by console, cue by
// cue, in the record form of each console's firmware generation.
#include "devices/scenario_memory.h"

#include <vector>

#include "devices/common_control.h"
#include "devices/controls.h"
#include "devices/device_codes.h"
#include "devices/scenario_memory_fit.h"
#include "support/numbers.h"

namespace fd::devices {

namespace {

enum class Pass { Write, Verify };

bool IsConsoleId(int id) { return id >= 1 && id <= 199; }

// What a run needs of a cue. The progress events let the window handle input, and a command run
// from there may load another scenario into the list or sort the registry: the run goes on with
// the cues and consoles it started with, never with a mixture or a freed record.
struct StoredCue {
  int32_t TimeMs;
  int32_t Console;
  int32_t Channel;
  int32_t CueKind;
  int32_t Param1;
  int32_t Param2;
};

// One console's turn: every cue addressed to it, then (write only) the filler records.
class ConsoleTurn {
 public:
  ConsoleTurn(TCommonControl& console, Pass pass) : console_(console), port_(console.Port()), pass_(pass) {}

  // Handles one cue of this console. Returns the result code and the channel the progress names.
  int Cue(const StoredCue& cue, int& progressChannel) {
    const bool motor = console_.Kind == kKindMotor;
    if (motor) {
      progressChannel = 1;
      if (console_.Version < kVersionConfirmedWrite) return kScenarioMotorTooOld;
      // A channel cue has no motor record: nothing is sent for it, and the verify has nothing to
      // compare. It does not take a record number either, so that the cues after it are read back
      // from the records they were written to.
      if (!IsMotionCue(cue.CueKind)) return bus::kBusOk;
      int r = pass_ == Pass::Write ? WriteMotor(cue) : VerifyMotor(cue);
      ++record_;
      return r;
    }

    // Channels are shown from 1; the loader's wrapped lowest number must not overflow here.
    progressChannel = IsMotionCue(cue.CueKind) ? 1 : static_cast<int>(static_cast<uint32_t>(cue.Channel) + 1u);
    // A motion cue for a console that is no motor console has no channel: skipped like above.
    if (IsMotionCue(cue.CueKind)) return bus::kBusOk;

    int r;
    if (console_.Version < kVersionRecordList) {
      r = pass_ == Pass::Write ? WriteCell(cue) : VerifyCell(cue);
      if (cue.Channel > highestChannel_) highestChannel_ = cue.Channel;
    } else {
      r = pass_ == Pass::Write ? WriteListRecord(cue.Channel, cue.TimeMs) : VerifyListRecord(cue);
      ++record_;
    }
    return r;
  }

  // Empty records after the console's cues. Their results are not checked: a later verify does not
  // read them either.
  void Fill() {
    if (console_.Kind == kKindMotor) return;
    if (console_.Version < kVersionRecordList) {
      for (int k = highestChannel_ + 1; k < console_.ChannelCount; ++k)
        port_.WriteRecordNoReply(console_.ID, k, kFillerTime, console_.Converter);
    } else {
      for (int k = record_; k < console_.ChannelCount; ++k) WriteListRecord(k, kFillerTime);
    }
  }

 private:
  bool Fine() const { return console_.Version >= kVersionConfirmedWrite; }

  int WriteMotor(const StoredCue& cue) {
    return port_.WriteMotorRecord(console_.ID, cue.TimeMs, cue.CueKind, cue.Param1, cue.Param2, console_.RepeatMode,
                                  console_.Converter);
  }
  int VerifyMotor(const StoredCue& cue) {
    int time = 0, kind = 0, p1 = 0, p2 = 0;
    int r = port_.ReadMotorRecord(console_.ID, record_, console_.RepeatMode, console_.Converter, time, kind, p1, p2);
    if (r == bus::kBusGroupDisagrees) return kScenarioMismatch;
    if (r != bus::kBusOk) return r;
    bool same = time == cue.TimeMs && kind == cue.CueKind && p1 == cue.Param1 && p2 == cue.Param2;
    return same ? bus::kBusOk : kScenarioMismatch;
  }

  // Below 148: one cell per channel, addressed by the channel.
  int WriteCell(const StoredCue& cue) {
    return port_.WriteRecordNoReply(console_.ID, cue.Channel, cue.TimeMs, console_.Converter);
  }
  int VerifyCell(const StoredCue& cue) {
    int time = 0;
    int r = port_.ReadRecordTime(console_.ID, cue.Channel, console_.RepeatMode, console_.Converter, time);
    if (r != bus::kBusOk) return r;
    return time == cue.TimeMs ? bus::kBusOk : kScenarioMismatch;
  }

  // 148 on: records in write order; from 165 on confirmed and in 2 ms steps. The console stores a
  // record at its own write position, so the record number only matters when reading back.
  int WriteListRecord(int channel, int32_t time) {
    if (Fine()) return port_.WriteRecord(console_.ID, channel, time, console_.RepeatMode, console_.Converter);
    return port_.WriteRecordNoReply(console_.ID, channel, time, console_.Converter);
  }
  int VerifyListRecord(const StoredCue& cue) {
    int time = 0, channel = 0;
    int r = Fine() ? port_.ReadRecordFine(console_.ID, record_, console_.RepeatMode, console_.Converter, time, channel)
                   : port_.ReadRecord(console_.ID, record_, console_.RepeatMode, console_.Converter, time, channel);
    if (r != bus::kBusOk) return r;
    return time == cue.TimeMs && channel == cue.Channel ? bus::kBusOk : kScenarioMismatch;
  }

  TCommonControl& console_;
  bus::TPort& port_;
  Pass pass_;
  int record_ = 0;           // records of this console written (or read back) so far
  int highestChannel_ = -1;  // below 148: highest cell written
};

int RunScenario(TControls& controls, std::vector<CueRecord>& list, Pass pass) {
  controls.ScenarioFaultLine.reset();
  controls.ScenarioFaultCause.clear();
  SortCuesByTime(list);
  // A scenario the consoles cannot hold is refused whole, before the first record goes out.
  if (const std::vector<UnfitCue> unfit = FindUnfitCues(controls, list); !unfit.empty()) {
    controls.ScenarioFaultLine = unfit.front().Line;
    controls.ScenarioFaultCause = UnfitCauseText(list[unfit.front().Index], unfit.front());
    return kScenarioUnfit;
  }
  std::vector<StoredCue> cues;
  cues.reserve(list.size());
  for (const CueRecord& c : list) cues.push_back({c.TimeMs, c.Console, c.Channel, c.CueKind, c.Param1, c.Param2});

  int result = bus::kBusOk;
  bool cancel = false;
  const int64_t cueCount = static_cast<int64_t>(cues.size());

  // Pending events run inside the progress events; a device that leaves the registry meanwhile
  // stays allocated until the run is over, and every console is visited once, at the position it
  // had when the run began.
  TControls::Hold hold(controls);
  std::vector<TCommonDevice*> devices;
  for (int i = 0; i < controls.Count(); ++i) devices.push_back(controls.Items(i));
  const int deviceCount = static_cast<int>(devices.size());

  for (int i = 0; i < deviceCount && result == bus::kBusOk && !cancel; ++i) {
    auto* console = dynamic_cast<TCommonControl*>(devices[static_cast<size_t>(i)]);
    if (!console || !IsConsoleId(console->ID)) continue;
    console->CheckLink();  // channel count, and the console starts its records from the first

    ConsoleTurn turn(*console, pass);
    for (int64_t j = 0; j < cueCount && result == bus::kBusOk && !cancel; ++j) {
      const StoredCue& cue = cues[static_cast<size_t>(j)];
      if (cue.Console != console->ID) continue;
      int progressChannel = 0;
      result = turn.Cue(cue, progressChannel);
      if (auto progress = controls.OnMemoryProgress)
        progress(MemoryProgressPercent(cueCount, i, j, deviceCount), i, console->ID, progressChannel, cancel);
    }
    if (pass == Pass::Write && result == bus::kBusOk && !cancel) turn.Fill();
  }

  if (cancel || result != bus::kBusOk) {
    if (result == bus::kBusOk) result = kScenarioCancelled;
  } else if (auto progress = controls.OnMemoryProgress) {
    progress(100, -1, -1, -1, cancel);
  }
  return result;
}

}  // namespace

const char* ScenarioResultMessage(int code) {
  switch (code) {
    case bus::kBusNotOpen:
      return "Ошибка устройства.";
    case bus::kBusTransferError:
      return "Ошибка передачи данных.";
    case bus::kBusNoReply:
      return "Ошибка передачи данных (истекло время ожидания).";
    case kScenarioMismatch:
      return "Несовпадение сценария в пультах.";
    case kScenarioCancelled:
      return "Операция прервана.";
    default:
      return nullptr;
  }
}

std::string ScenarioRunMessage(int code, const std::optional<int>& faultLine, const std::string& cause) {
  if (faultLine) return ScenarioFaultText(*faultLine, cause);
  const char* message = ScenarioResultMessage(code);
  return message ? message : "";
}

int MemoryProgressPercent(int64_t cueCount, int64_t deviceIndex, int64_t cueIndex, int64_t deviceCount) {
  const int64_t whole = cueCount * deviceCount;
  if (whole <= 0) return 0;
  const long double done = static_cast<long double>(cueCount * deviceIndex + cueIndex);
  return static_cast<int>(support::RoundHalfAway(done / static_cast<long double>(whole) * 100.0L));
}

int TControls::WriteScenario(std::vector<CueRecord>& list) { return RunScenario(*this, list, Pass::Write); }

int TControls::VerifyScenario(std::vector<CueRecord>& list) { return RunScenario(*this, list, Pass::Verify); }

}  // namespace fd::devices
