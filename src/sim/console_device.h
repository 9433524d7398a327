#pragma once

#include <mutex>
#include <vector>

#include "sim/console_memory.h"
#include "sim/device_config.h"
#include "sim/fire_log.h"
#include "sim/model_device.h"

namespace fd::sim {

// A firing console on the bench. It answers the console commands the way its firmware generation
// and kind do, keeps a scenario memory of its generation, logs every firing into the bench's fire
// log, and plays its stored scenario back on the run broadcast.
//
// The kind is the one the operator program will see: letter P is a motor console; letter Q or R,
// or exactly four channels (when the letter is answered and is not P), a high-voltage console.
// Measurements and the first status value are scaled for that kind and for the firmware.
class ConsoleDevice : public ModelDevice {
 public:
  ConsoleDevice(const ConsoleConfig& config, FireLog& log);

  void OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) override;
  void AdvanceTo(uint64_t nowUs, std::vector<Transmission>& out) override;
  void PowerChanged(bool on) override;

  // The console's settings as they are now (channel states, status and reading may have changed).
  ConsoleConfig Config() const;
  bool IsHighVoltage() const { return highVoltage_; }
  bool IsMotor() const { return motor_; }

  // Raw measurement answered for a channel (thousandths), from its override or its state.
  int ChannelValue(int channel) const;
  void SetChannelState(int channel, ChannelState state);
  void SetChannelValue(int channel, int raw);

  // Faults and readings that may change while the bench runs.
  void SetStatus(double auxVoltage, double voltage, int statusBit);
  void SetReading(int reading);

  // Inspection for tests and the bench tool.
  ConsoleMemory Memory() const;
  bool Playing() const;
  int LastLevel() const;
  int LevelSetCount() const;
  int HVStopCount() const;

 private:
  void HandleRequest(const bus::BusFrame& f, uint64_t endUs, std::vector<Transmission>& out);
  void HandleBroadcast(const bus::BusFrame& f, uint64_t endUs);
  void PlayTo(uint64_t nowUs);
  uint64_t ShowClockUs(uint64_t nowUs) const;
  void FireFromMemory(const StoredCue& cue, uint64_t atUs);
  ChannelState StateOf(int channel) const;
  int RawValue(int channel) const;

  ConsoleConfig config_;
  FireLog& log_;
  bool highVoltage_;
  bool motor_;

  mutable std::mutex mutex_;
  ConsoleMemory memory_;
  int lastLevel_ = 0;
  int levelSets_ = 0;
  int hvStops_ = 0;

  // Playback: the show clock was showClockMs at bench time baseUs and runs on from there.
  bool playing_ = false;
  uint64_t baseUs_ = 0;
  int64_t baseShowMs_ = 0;
  std::vector<StoredCue> playlist_;
  size_t next_ = 0;
};

// Default raw measurement of a channel in the given state, on the scale the program reads for that
// kind and firmware: below 268 it takes 4.0 and more as connected, from 268 on it multiplies by 100
// and takes less than 20 as connected; a high-voltage console's value is multiplied by 100 once more.
int DefaultChannelValue(ChannelState state, bool highVoltage, int version);

}  // namespace fd::sim
