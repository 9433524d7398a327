#pragma once

#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "sim/device_config.h"
#include "sim/model_device.h"

namespace fd::sim {

// What a peer heard in answer to its state query: 04 M D s asker FF.
struct StateAnswer {
  int mode = 0;        // byte 1: operating mode in the low nibble
  int launchMode = 0;  // byte 2
  int from = 0;        // byte 3: the answering program's number
  uint64_t timeUs = 0;
};

// Another operator program on the bus (address 255), known by its instance number. It answers peer
// queries as a copy of the operator program does, after a random pause of 0..149 ms drawn from its
// own seeded generator (so a test sees the same pauses every run), asks for state on demand and
// stops a show the way a second copy of the program would.
class PeerDevice : public ModelDevice {
 public:
  explicit PeerDevice(const PeerConfig& config);
  void OnFrame(const bus::BusFrame& frame, uint64_t endUs, std::vector<Transmission>& out) override;
  void AdvanceTo(uint64_t nowUs, std::vector<Transmission>& out) override;
  void PowerChanged(bool on) override;

  int Instance() const { return instance_; }
  int MajorVersion() const { return majorVersion_; }

  // Queued now, sent when the bench next moves on.
  void SendStateQuery(int target);  // 03 00 00 own target FF (0 = everybody)
  void SendStop(int timeMs = 0);    // 90 T T 00 00 00, then 11 T T own 00 FF
  std::vector<StateAnswer> StateAnswers() const;
  // The pauses drawn so far before each peer answer, in milliseconds.
  std::vector<int> AnswerDelays() const;

 private:
  const int instance_;
  const int majorVersion_;
  mutable std::mutex mutex_;
  bool on_ = true;  // as last told by PowerChanged
  std::mt19937 random_;
  std::vector<std::vector<uint8_t>> pending_;
  std::vector<StateAnswer> answers_;
  std::vector<int> delays_;
};

}  // namespace fd::sim
