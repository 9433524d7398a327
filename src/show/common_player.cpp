// The show player's life cycle: start, stop, the soundtrack, and what it hears on the bus.
#include "show/common_player.h"

#include <algorithm>
#include <limits>

#include "bus/bus_frame.h"
#include "devices/device_codes.h"
#include "show/operating_mode.h"
#include "support/localizer.h"

namespace fd::show {

namespace {

constexpr uint8_t kStateQuery = 0x03;
constexpr uint8_t kStateAnswer = 0x04;

}  // namespace

TCommonPlayer::TCommonPlayer(platform::Platform& platform, bus::TPort& port, devices::TControls& controls)
    : Soundtrack(std::make_unique<audio::TBassPlayer>()),
      ShowTimer(platform.CreateTimer()),
      ArmTimer(platform.CreateTimer()),
      WakeTimer(platform.CreateTimer()),
      platform_(platform),
      port_(port),
      controls_(controls),
      monotonic_(std::make_unique<MonotonicShowClock>(StartPosition, StartTick)) {
  ShowTimer->SetEnabled(false);
  ShowTimer->SetInterval(ShowTimerInterval);
  ShowTimer->OnTimer = [this] { OnTimerTick(); };
  WakeTimer->SetEnabled(false);
  WakeTimer->OnTimer = [this] {
    // Platform timers repeat; this one is meant to fire once per arming.
    WakeTimer->SetEnabled(false);
    OnTimerTick();
  };
  ArmTimer->SetEnabled(false);
  ArmTimer->SetInterval(ShowTimerInterval);
  ArmTimer->OnTimer = [this] { OnArmTick(); };
}

TCommonPlayer::~TCommonPlayer() {
  ShowTimer->SetEnabled(false);
  ShowTimer->OnTimer = nullptr;
  WakeTimer->SetEnabled(false);
  WakeTimer->OnTimer = nullptr;
  ArmTimer->SetEnabled(false);
  ArmTimer->OnTimer = nullptr;
}

bool TCommonPlayer::IsPlaying() const { return ShowTimer->Enabled(); }

int32_t TCommonPlayer::CueCount() const { return Cues != nullptr ? Cues->Count() : 0; }

int32_t TCommonPlayer::FirstCueAt(int32_t fromMs) const {
  const int32_t count = CueCount();
  int32_t first = 0;
  while (first < count && Cues->Items(first).TimeMs < fromMs) ++first;
  return first;
}

// In autonomous launch the consoles have played every cue up to the moment of the stop (or the
// last cue, when the show ended), however far the list had followed them.
bool TCommonPlayer::ResumesAtStopPoint(int32_t fromMs) const {
  return stopPointValid_ && fromMs == Clock && Clock == stoppedClock_ && NextCue == stoppedNextCue_;
}

int32_t TCommonPlayer::FirstRunTime(int32_t fromMs) const {
  const int64_t from = std::max<int64_t>(fromMs, 0);
  const int64_t tenth = ResumesAtStopPoint(fromMs) ? (from / 100 + 1) * 100 : (from + 99) / 100 * 100;
  return static_cast<int32_t>(std::min<int64_t>(tenth, std::numeric_limits<int32_t>::max()));
}

std::vector<int32_t> TCommonPlayer::CuesBeforeFirstRun(int32_t fromMs) const {
  std::vector<int32_t> out;
  const int32_t runAt = FirstRunTime(fromMs);
  // Cues the consoles played before the stop are not left out.
  int32_t from = FirstCueAt(fromMs);
  if (ResumesAtStopPoint(fromMs))
    while (from < CueCount() && Cues->Items(from).TimeMs <= fromMs) ++from;
  for (int32_t i = from; i < CueCount() && Cues->Items(i).TimeMs < runAt; ++i)
    if (Cues->Items(i).CueKind == devices::ChannelCue || devices::IsMotionCue(Cues->Items(i).CueKind)) out.push_back(i);
  return out;
}

void TCommonPlayer::Start(int32_t fromMs) {
  const int32_t count = CueCount();
  const int32_t first = FirstCueAt(fromMs);
  if (LaunchMode == lmAutonomous) {
    // The consoles play from the first run broadcast on; the list follows them from there.
    nextRunTime_ = FirstRunTime(fromMs);
    int32_t next = first;
    while (next < count && Cues->Items(next).TimeMs < nextRunTime_) ++next;
    NextCue = next;
  } else if (!ResumesPastHandledCues(fromMs, first)) {
    NextCue = first;
  }

  // A chased start keeps the cues its arming skipped; any other start begins afresh.
  if (!armed_) ClearSkips();
  PrepareLevelQueues(fromMs);

  StartTick = platform_.GetClock().TickCount();
  LastProgressTick = StartTick;
  LastIdleTick = StartTick;
  Clock = fromMs;
  StartPosition = fromMs;

  if (Soundtrack && Soundtrack->Loaded()) {
    Soundtrack->PlayFrom(Clock);
    if (Journal != nullptr) Journal->SoundtrackChanged(true, Clock);
  }
  stopSource_ = journal::StopSource::Operator;
  ShowTimer->SetEnabled(true);
  stopSent_ = false;
  // A stop heard before this start and not handed over yet still reaches HandleBusMessage.
  stopBroadcastsSeen_ = port_.StopBroadcastsHeard();
  if (LaunchMode == lmAutonomous) SendDueRun();
  port_.AnnounceStart(Clock);
  ArmWakeTimer();
  if (OnStateChange) OnStateChange();
}

void TCommonPlayer::Stop(bool stopSound) {
  // The consoles play on by themselves until the stop frame reaches them: the clock they stop at
  // is now, not the last tick's, and a start from here must know what they played meanwhile.
  Disarm();
  if (IsPlaying() && LaunchMode == lmAutonomous) {
    Clock = ClockSource().ShowTimeAt(platform_.GetClock().TickCount());
    if (Clock < 0) Clock = 0;
  }
  const bool wasPlaying = IsPlaying();
  ShowTimer->SetEnabled(false);
  WakeTimer->SetEnabled(false);
  port_.SyncStop(Clock);
  port_.AnnounceStop(Clock);
  stopSent_ = true;
  stopSentTick_ = platform_.GetClock().TickCount();
  NoteStopPoint();
  const bool soundStops = stopSound && Soundtrack && Soundtrack->Loaded() && Soundtrack->IsPlaying();
  if (soundStops) Soundtrack->Stop();
  if (Journal != nullptr && wasPlaying) {
    Journal->Stopped(stopSource_, Clock);
    if (soundStops) Journal->SoundtrackChanged(false, Clock);
  }
  stopSource_ = journal::StopSource::Operator;

  // The registry must not free a console under us while its exchange runs.
  devices::TControls::Hold hold(controls_);
  for (int i = 0; i < controls_.Count(); ++i) {
    devices::TCommonDevice* device = controls_.Items(i);
    if (device == nullptr || device->Kind != devices::kKindHV) continue;
    port_.HVStop(device->ID, device->RepeatMode, device->Converter);
  }
  if (OnStateChange) OnStateChange();
}

void TCommonPlayer::ConnectionLost() {
  Disarm();
  if (!IsPlaying()) return;
  stopSource_ = journal::StopSource::Converter;
  Stop(false);
  if (OnConnectionStop) OnConnectionStop();
}

void TCommonPlayer::ResumeAt(int32_t clockMs, int32_t nextCue) {
  Clock = clockMs;
  NextCue = nextCue;
  NoteStopPoint();
}

void TCommonPlayer::NoteStopPoint() {
  stopPointValid_ = true;
  stoppedClock_ = Clock;
  stoppedNextCue_ = NextCue;
}

// A run stopped at the very millisecond of a cue it had already sent (the wake-up timer makes that
// common) leaves Clock equal to that cue's time; resuming with Start(Clock) would send it again.
// When Clock and NextCue are still as the stop left them, the cues between the first one at the
// start time and NextCue are exactly those handled cues, and they are not sent twice. A start the
// window chose itself (another clock or another cue) finds the values changed and starts as asked.
bool TCommonPlayer::ResumesPastHandledCues(int32_t fromMs, int32_t first) const {
  if (!ResumesAtStopPoint(fromMs)) return false;
  if (NextCue <= first || NextCue > CueCount()) return false;
  for (int32_t i = first; i < NextCue; ++i)
    if (Cues->Items(i).TimeMs != fromMs) return false;
  return true;
}

void TCommonPlayer::HandleBusMessage(const bus::Frame6& message) {
  if (message[5] == bus::kPeerAddress) {
    if (message[4] != 0 && message[4] != bus::InstanceNumber()) return;
    if (message[0] == kStateQuery) {
      const bus::Frame6 answer{kStateAnswer,
                               static_cast<uint8_t>(OperatingMode & 0x0F),
                               static_cast<uint8_t>(LaunchMode & 0x0F),
                               bus::InstanceNumber(),
                               message[3],
                               bus::kPeerAddress};
      port_.SendFrame(answer, -1);
    }
    return;
  }
  if (bus::IsStopBroadcast(message)) {
    // Every stop counted so far has been seen: the burst need not look for it again.
    stopBroadcastsSeen_ = port_.StopBroadcastsHeard();
    ObeyExternalStop();
  }
}

// Our own Stop broadcasts the very stop frame that we obey, so a second operator program on the
// bus answers our stop with one of its own, and without a rule the two would answer each other for
// ever. The rule: while stopped, this player sends stop frames at most once until its next Start.
//  - Playing, or stopped without having sent a stop since the latest Start (or ever): obey in full,
//    as a stop from the remote control is obeyed: stop frames, high-voltage stops, the state change
//    and the emergency event.
//  - Stopped and our stop frames already out: send nothing. Within StopAnswerWindow of our own stop
//    the frame is the other programs' answer to it, and the operator who just stopped the show is
//    not shown an emergency; later it is somebody pressing stop again, and the operator sees it.
// Every program transmits in answer at most once per stopped spell, so the exchange ends after one
// round whatever the delays on the bus.
void TCommonPlayer::ObeyExternalStop() {
  // A stop from the bus disarms a chased show too, even when nothing plays yet.
  Disarm();
  if (IsPlaying() || !stopSent_) {
    stopSource_ = journal::StopSource::BusStop;
    Stop(false);
    if (OnEmergencyStop) OnEmergencyStop();
    return;
  }
  const uint32_t since = platform::TicksSince(stopSentTick_, platform_.GetClock().TickCount());
  if (since < StopAnswerWindow) return;
  if (OnEmergencyStop) OnEmergencyStop();
}

bool TCommonPlayer::LoadSoundtrack(const std::string& name) {
  CloseSoundtrack();
  Soundtrack->SetFileName(name);
  Soundtrack->Open();
  if (!Soundtrack->Loaded() && !Soundtrack->GaveUp()) {
    // The box keeps the text the operator knows; why it failed goes into the record beside it.
    const std::string text = support::LocalText(90, "Ошибка загрузки фонограммы");
    const std::string& reason = Soundtrack->OpenError();
    platform_.ShowFailure(text, support::LocalText(91, "Ошибка"), reason.empty() ? text : text + ": " + reason);
  }
  return Soundtrack->Loaded();
}

void TCommonPlayer::CloseSoundtrack() {
  if (Soundtrack && Soundtrack->Loaded()) Soundtrack->Close();
}

}  // namespace fd::show
