#include "sim/console_device.h"

#include <algorithm>
#include <cmath>

#include "sim/radio_device.h"

namespace fd::sim {

namespace {

// Codes as they travel: requests and the answers the program waits for.
constexpr uint8_t kVersion = 0x80, kHVParameter = 0x82, kMeasure = 0x83, kFire = 0x84, kStatus = 0x85, kHVStop = 0x88,
                  kTypeLetter = 0x89, kMotor = 0x8C, kReading = 0x8D, kIdentify = 0x8F, kRunStop = 0x90,
                  kWriteRecord = 0x91, kReadRecord = 0x92;

int ScaledValue(double value, double scale, int limit) {
  const long v = std::lround(value * scale);
  return static_cast<int>(std::clamp<long>(v, 0, limit));
}

// A run broadcast's time may lag the sender's clock by up to one 100 ms step, and it reaches us a
// few milliseconds after it was taken; within that window our own clock is as good as the frame's.
constexpr int64_t kSyncWindowUs = 110'000;

}  // namespace

int DefaultChannelValue(ChannelState state, bool highVoltage, int version) {
  const bool connected = state != ChannelState::Open;
  if (version < 0x268) {
    if (highVoltage) return connected ? 50 : 10;  // read x 100: 5.0 and 1.0 against the 4.0 threshold
    return connected ? 5000 : 0;                  // 5.0 and 0.0
  }
  if (highVoltage) return connected ? 1 : 5;  // read x 10000: 10 and 50 against the threshold 20
  return connected ? 50 : 500;                // read x 100: 5.0 and 50.0
}

ConsoleDevice::ConsoleDevice(const ConsoleConfig& config, FireLog& log)
    : ModelDevice(config.address),
      config_(config),
      log_(log),
      highVoltage_(config.answersTypeLetter && config.typeLetter != 'P' &&
                   (config.typeLetter == 'Q' || config.typeLetter == 'R' || config.channels == 4)),
      motor_(config.answersTypeLetter && config.typeLetter == 'P'),
      memory_(LayoutFor(config.version, config.answersTypeLetter && config.typeLetter == 'P'),
              config.memory > 0 ? config.memory : config.channels) {
  SetTurnaroundUs(config.turnaroundUs);
  SetLateUs(config.lateUs);
}

ConsoleConfig ConsoleDevice::Config() const {
  std::lock_guard lock(mutex_);
  return config_;
}

int ConsoleDevice::ChannelValue(int channel) const {
  std::lock_guard lock(mutex_);
  return RawValue(channel);
}

ChannelState ConsoleDevice::StateOf(int channel) const {
  auto state = config_.channelStates.find(channel);
  return state == config_.channelStates.end() ? ChannelState::Connected : state->second;
}

int ConsoleDevice::RawValue(int channel) const {
  auto value = config_.channelValues.find(channel);
  if (value != config_.channelValues.end()) return value->second;
  return DefaultChannelValue(StateOf(channel), highVoltage_, config_.version);
}

void ConsoleDevice::SetChannelState(int channel, ChannelState state) {
  std::lock_guard lock(mutex_);
  config_.channelStates[channel] = state;
  config_.channelValues.erase(channel);
}

void ConsoleDevice::SetChannelValue(int channel, int raw) {
  std::lock_guard lock(mutex_);
  config_.channelValues[channel] = std::clamp(raw, 0, 0xFFFF);
}

void ConsoleDevice::SetStatus(double auxVoltage, double voltage, int statusBit) {
  std::lock_guard lock(mutex_);
  config_.auxVoltage = auxVoltage;
  config_.voltage = voltage;
  config_.statusBit = statusBit ? 1 : 0;
}

void ConsoleDevice::SetReading(int reading) {
  std::lock_guard lock(mutex_);
  config_.reading = std::clamp(reading, -99, 99);
}

ConsoleMemory ConsoleDevice::Memory() const {
  std::lock_guard lock(mutex_);
  return memory_;
}

bool ConsoleDevice::Playing() const {
  std::lock_guard lock(mutex_);
  return playing_;
}

int ConsoleDevice::LastLevel() const {
  std::lock_guard lock(mutex_);
  return lastLevel_;
}

int ConsoleDevice::LevelSetCount() const {
  std::lock_guard lock(mutex_);
  return levelSets_;
}

int ConsoleDevice::HVStopCount() const {
  std::lock_guard lock(mutex_);
  return hvStops_;
}

void ConsoleDevice::PowerChanged(bool on) {
  std::lock_guard lock(mutex_);
  // The memory survives, the running show does not.
  if (!on) playing_ = false;
}

void ConsoleDevice::AdvanceTo(uint64_t nowUs, std::vector<Transmission>& out) {
  (void)out;
  std::lock_guard lock(mutex_);
  PlayTo(nowUs);
}

void ConsoleDevice::OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) {
  std::lock_guard lock(mutex_);
  PlayTo(endUs);
  if (frame[0] == kRunStop) {
    if (frame[5] == bus::kRemoteControlAddress) HandleBroadcast(frame, endUs);
    return;
  }
  if (frame[5] == Address()) HandleRequest(frame, endUs, out);
}

void ConsoleDevice::HandleRequest(const bus::BusFrame& f, uint64_t endUs, std::vector<Transmission>& out) {
  const int channel16 = f[1] + 256 * f[2];
  switch (f[0]) {
    case kVersion:
      AnswerVersion(*this, config_.version, endUs, out);
      break;
    case kHVParameter:
      Answer(out, endUs, 0x7D, 0x01, 0xFD, static_cast<uint8_t>(config_.hvParameter), 0x00);
      break;
    case kMeasure: {
      if (channel16 < 1 || channel16 > config_.channels) break;
      if (StateOf(channel16) == ChannelState::Broken) break;
      const int raw = RawValue(channel16);
      Answer(out, endUs, 0x7C, f[1], f[2], static_cast<uint8_t>(raw >> 8), static_cast<uint8_t>(raw & 0xFF));
      break;
    }
    case kFire: {
      const int level = ((f[3] & 0x7F) << 7) | (f[4] & 0x7F);
      const bool reply = (f[4] & 0x80) != 0;
      if (channel16 == 0) {
        // Channel 0 carries the level for the next firing.
        lastLevel_ = level;
        ++levelSets_;
        if (reply) Answer(out, endUs, 0x7B, f[1], f[2], f[3], f[4]);
        break;
      }
      if (channel16 > config_.channels) break;  // no such channel: nothing fires, nothing answers
      FireEntry entry;
      entry.console = Address();
      entry.kind = FireKind::Channel;
      entry.channel = channel16;
      entry.level = level;
      entry.timeUs = endUs;
      entry.source = FireSource::Direct;
      log_.Add(entry);
      if (reply) {
        const int raw = RawValue(channel16) & 0x7FFF;
        Answer(out, endUs, 0x7B, f[1], f[2], static_cast<uint8_t>(raw >> 8), static_cast<uint8_t>(raw & 0xFF));
      }
      break;
    }
    case kStatus: {
      uint8_t b1, b2;
      if (highVoltage_) {
        // Tenths over all sixteen bits: the top bit belongs to the value here.
        const int aux = ScaledValue(config_.auxVoltage, 10.0, 0xFFFF);
        b1 = static_cast<uint8_t>(aux >> 8);
        b2 = static_cast<uint8_t>(aux & 0xFF);
      } else {
        const int aux = ScaledValue(config_.auxVoltage, 1000.0, 0x7FFF);
        b1 = static_cast<uint8_t>((aux >> 8) | (config_.statusBit ? 0x80 : 0x00));
        b2 = static_cast<uint8_t>(aux & 0xFF);
      }
      const int volts = ScaledValue(config_.voltage, 1000.0, 0xFFFF);
      Answer(out, endUs, 0x7A, b1, b2, static_cast<uint8_t>(volts >> 8), static_cast<uint8_t>(volts & 0xFF));
      break;
    }
    case kHVStop:
      ++hvStops_;
      Answer(out, endUs, 0x77, f[1], f[2], f[3], f[4]);
      break;
    case kTypeLetter: {
      if (!config_.answersTypeLetter) break;
      const int tenths = playing_ ? static_cast<int>(std::min<uint64_t>(ShowClockUs(endUs) / 100'000, 0xFFFF)) : 0;
      Answer(out, endUs, 0x76, static_cast<uint8_t>(tenths >> 8), static_cast<uint8_t>(tenths & 0xFF),
             static_cast<uint8_t>(config_.typeLetter), 0x00);
      break;
    }
    case kMotor: {
      if (!motor_) break;  // a console without a motor does not know the command
      FireEntry entry;
      entry.console = Address();
      entry.kind = FireKind::Motion;
      entry.motionCode = f[1];
      entry.x = f[2];
      entry.y = f[3];
      entry.timeUs = endUs;
      entry.source = FireSource::Direct;
      log_.Add(entry);
      Answer(out, endUs, 0x73, f[1], f[2], f[3], f[4]);
      break;
    }
    case kReading: {
      const int magnitude = std::min(std::abs(config_.reading), 99);
      Answer(out, endUs, 0x7F, config_.reading < 0 ? '-' : '+', static_cast<uint8_t>('0' + magnitude / 10),
             static_cast<uint8_t>('0' + magnitude % 10), 0x00);
      break;
    }
    case kIdentify: {
      // Every console's turn in a scenario write begins with this exchange: the next record written
      // goes to the start of the memory.
      memory_.Rewind();
      std::vector<uint8_t> loose;
      if (config_.confirmation) loose = {*config_.confirmation, static_cast<uint8_t>(~*config_.confirmation)};
      Answer(out, endUs, 0x70, 'O', 'k', static_cast<uint8_t>(config_.channels >> 8),
             static_cast<uint8_t>(config_.channels & 0xFF), loose);
      break;
    }
    case kWriteRecord: {
      const bool stored = memory_.Write({f[1], f[2], f[3], f[4]});
      // From 165 on a stored record is confirmed by echoing it; a record that does not fit is not.
      const bool confirms =
          memory_.Layout() == MemoryLayout::Records2ms || memory_.Layout() == MemoryLayout::MotorGroups;
      if (stored && confirms) Answer(out, endUs, 0x6E, f[1], f[2], f[3], f[4]);
      break;
    }
    case kReadRecord: {
      const auto record = memory_.Read(f[3] + 256 * f[4]);
      if (record) Answer(out, endUs, 0x6D, (*record)[0], (*record)[1], (*record)[2], (*record)[3]);
      break;
    }
    default:
      break;
  }
}

uint64_t ConsoleDevice::ShowClockUs(uint64_t nowUs) const {
  const int64_t us = baseShowMs_ * 1000 + static_cast<int64_t>(nowUs - baseUs_);
  return us < 0 ? 0 : static_cast<uint64_t>(us);
}

void ConsoleDevice::HandleBroadcast(const bus::BusFrame& f, uint64_t endUs) {
  const int64_t showMs = (f[1] * 256 + f[2]) * 100;
  if (f[3] == 0x00) {
    playing_ = false;
    return;
  }
  if (f[3] != 0x80) return;
  if (!playing_) {
    // A new run: cues before the start time stay silent.
    playing_ = true;
    baseUs_ = endUs;
    baseShowMs_ = showMs;
    playlist_ = memory_.Cues();
    next_ = 0;
    while (next_ < playlist_.size() && playlist_[next_].timeMs < showMs) ++next_;
    PlayTo(endUs);
    return;
  }
  // Kept in step: the clock moves only when the broadcast disagrees by more than its resolution.
  const int64_t ownUs = baseShowMs_ * 1000 + static_cast<int64_t>(endUs - baseUs_);
  if (ownUs >= showMs * 1000 && ownUs < showMs * 1000 + kSyncWindowUs) return;
  baseUs_ = endUs;
  baseShowMs_ = showMs;
  PlayTo(endUs);  // a clock moved forward fires what it jumped over, now
}

void ConsoleDevice::PlayTo(uint64_t nowUs) {
  if (!playing_ || nowUs < baseUs_) return;
  while (next_ < playlist_.size()) {
    const StoredCue& cue = playlist_[next_];
    const int64_t dueOffsetUs = (static_cast<int64_t>(cue.timeMs) - baseShowMs_) * 1000;
    const uint64_t dueUs = dueOffsetUs <= 0 ? baseUs_ : baseUs_ + static_cast<uint64_t>(dueOffsetUs);
    if (dueUs > nowUs) break;
    FireFromMemory(cue, dueUs);
    ++next_;
  }
}

void ConsoleDevice::FireFromMemory(const StoredCue& cue, uint64_t atUs) {
  if (cue.kind == FireKind::Channel && cue.channel > config_.channels) return;
  if (cue.kind == FireKind::Motion && !motor_) return;
  FireEntry entry;
  entry.console = Address();
  entry.kind = cue.kind;
  entry.channel = cue.channel;
  entry.motionCode = cue.motionCode;
  entry.x = cue.x;
  entry.y = cue.y;
  entry.timeUs = atUs;
  entry.source = FireSource::Memory;
  log_.Add(entry);
}

}  // namespace fd::sim
