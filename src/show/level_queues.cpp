// Firing one channel cue, and the level queues of the high-voltage consoles behind it.
#include <algorithm>
#include <string>

#include "bus/bus_frame.h"
#include "devices/device_codes.h"
#include "show/common_player.h"
#include "support/localizer.h"
#include "support/run_log.h"

namespace fd::show {

namespace {

devices::THVControl* AsHighVoltage(devices::TCommonDevice* device) {
  if (device == nullptr || device->Kind != devices::kKindHV) return nullptr;
  return dynamic_cast<devices::THVControl*>(device);
}

}  // namespace

// A high-voltage console fires each channel together with the level of the channel it fires next,
// so the player lines up, per console, the levels of its cues in firing order. Only the cues that
// will really be fired are queued: channel cues (motion cues never pass FireCue) on a channel inside
// the table (the console operation refuses any other). A queue holding anything else would hand
// the console the level of the wrong channel from there on.
void TCommonPlayer::PrepareLevelQueues(int32_t fromMs) {
  devices::TControls::Hold hold(controls_);
  for (int i = 0; i < controls_.Count(); ++i) {
    devices::TCommonDevice* device = controls_.Items(i);
    if (device == nullptr || device->ID < bus::kFirstConsoleAddress || device->ID > bus::kLastConsoleAddress) continue;
    if (devices::THVControl* hv = AsHighVoltage(device)) {
      hv->LevelQueueCount = 0;
      hv->LevelQueuePos = 0;
    }
  }
  // From NextCue on: a resumed run does not send again the cues it sent before its stop.
  for (int i = std::max(NextCue, 0); i < CueCount(); ++i) {
    const devices::CueRecord& cue = Cues->Items(i);
    if (cue.TimeMs < fromMs || cue.CueKind != devices::ChannelCue || !devices::ChannelInTable(cue.Channel)) continue;
    devices::THVControl* hv = AsHighVoltage(controls_.FindByID(cue.Console));
    if (hv == nullptr) continue;
    // The queue has one entry per channel of the console; cues beyond that are fired with the
    // "last queued" level 1, and a channel outside the table counts as level 0.
    if (hv->LevelQueueCount >= static_cast<int32_t>(hv->LevelQueue.size())) continue;
    const int32_t level = hv->LevelOf(cue.Channel);
    hv->LevelQueue[static_cast<size_t>(hv->LevelQueueCount)] = level;
    if (hv->LevelQueueCount == 0) port_.SetLevel(hv->ID, level, hv->RepeatMode, hv->Converter);
    ++hv->LevelQueueCount;
  }
}

int32_t TCommonPlayer::NextLevel(devices::THVControl& console) {
  // Never beyond the count, which itself never passes the table.
  if (console.LevelQueuePos < console.LevelQueueCount) ++console.LevelQueuePos;
  if (console.LevelQueuePos >= 0 && console.LevelQueuePos < console.LevelQueueCount)
    return console.LevelQueue[static_cast<size_t>(console.LevelQueuePos)];
  return 1;  // this was the console's last queued cue
}

void TCommonPlayer::FireCue(int32_t console, int32_t channel, bool recordOnly) {
  if (!recordOnly) {
    devices::TCommonDevice* device = controls_.FindByID(console);
    if (devices::THVControl* hv = AsHighVoltage(device)) {
      // A channel outside the table was not queued and is refused unsent: it takes no level.
      if (devices::ChannelInTable(channel)) hv->FireLevel(channel, NextLevel(*hv));
    } else if (auto* control = dynamic_cast<devices::TCommonControl*>(device)) {
      control->Fire(channel);
    }
  }
  const int64_t fileChannel = static_cast<int64_t>(channel) + 1;
  support::WriteLog(support::LocalText(92, "Запуск, пульт:") + " " + std::to_string(console) +
                        support::LocalText(93, ", канал:") + " " + std::to_string(fileChannel),
                    1);
}

}  // namespace fd::show
