#pragma once

// The insides of BusSegment that its parts share (bus_segment.cpp: the wire and the moving of
// time; bus_segment_devices.cpp: devices and faults; bus_segment_converter.cpp: the converter side).
// Nothing outside the segment includes this.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "sim/bus_segment.h"

namespace fd::sim {

namespace segment {

// What became of a byte on the wire.
inline constexpr uint8_t kDropped = 1;
inline constexpr uint8_t kGarbled = 2;
// Transmissions stay on the wire record this long after their end, so that a late talker whose
// start lies a little in the past still collides with them.
inline constexpr uint64_t kWireMemoryUs = 1'000'000;

}  // namespace segment

using segment::kDropped;
using segment::kGarbled;
using segment::kWireMemoryUs;

struct BusSegment::Tx {
  Talker talker;
  uint64_t startUs = 0;
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> flags;
  size_t length = 0;  // bytes that go out; purge and power-off cut the tail
  bool collided = false;
  size_t framesDelivered = 0;
  bool framesDone = false;

  uint64_t ByteStartUs(size_t k) const { return startUs + WireTimeUs(k); }
  uint64_t ByteEndUs(size_t k) const { return startUs + WireTimeUs(k + 1); }
  uint64_t EndUs() const { return startUs + WireTimeUs(length); }

  // Cuts the transmission at nowUs: bytes that had not started by then never go out.
  void CutAt(uint64_t nowUs) {
    size_t keep = 0;
    while (keep < length && ByteStartUs(keep) < nowUs) ++keep;
    length = keep;
  }

  struct CutFrame {
    bus::BusFrame frame;
    uint64_t endUs;
  };
  // The intact frames in what listeners hear of this transmission. Asked on every poll for every
  // transmission still on record, while what it gives changes only when the transmission is cut
  // short or collides (the bytes change only in a collision): kept until then.
  const std::vector<CutFrame>& Frames() const {
    if (cachedLength != length || cachedCollided != collided) {
      cachedFrames = CutFrames();
      cachedLength = length;
      cachedCollided = collided;
    }
    return cachedFrames;
  }

 private:
  mutable std::vector<CutFrame> cachedFrames;
  mutable size_t cachedLength = SIZE_MAX;
  mutable bool cachedCollided = false;

  std::vector<CutFrame> CutFrames() const {
    std::vector<CutFrame> frames;
    if (collided) return frames;
    std::vector<size_t> heard;
    for (size_t k = 0; k < length; ++k)
      if (!(flags[k] & kDropped)) heard.push_back(k);
    size_t pos = 0;
    while (pos + bus::kFrameSize <= heard.size()) {
      bus::BusFrame f;
      for (int i = 0; i < bus::kFrameSize; ++i) f[i] = bytes[heard[pos + i]];
      if (f[0] != 0x00 && f[0] != 0xFF && bus::FrameCrcMatches(f.data())) {
        frames.push_back({f, ByteEndUs(heard[pos + bus::kFrameSize - 1])});
        pos += bus::kFrameSize;
      } else {
        ++pos;
      }
    }
    return frames;
  }
};

struct BusSegment::Converter {
  std::string serial;
  bool plugged = true;
  bool openable = true;
  bool echo = true;
  uint64_t session = 0;  // 0: not open
  std::deque<uint8_t> rx;
  int dropRx = 0;
  int corruptRx = 0;
  uint64_t txFreeUs = 0;
};

struct BusSegment::DeviceEntry {
  BusDevice* device = nullptr;
  std::unique_ptr<BusDevice> owned;
  uint64_t txFreeUs = 0;  // guarded by mutex_
};

struct BusSegment::PendingFrame {
  bus::BusFrame frame{};
  uint64_t endUs = 0;
  const BusDevice* talker = nullptr;
};

}  // namespace fd::sim
