#include "sim/console_memory.h"

#include <algorithm>

namespace fd::sim {

namespace {

bool IsMotionCode(uint8_t code) { return code == 0x98 || code == 0x94 || code == 0x92 || code == 0x81 || code == 0x91; }

}  // namespace

MemoryLayout LayoutFor(int version, bool motor) {
  if (version < 0x148) return MemoryLayout::PerChannel;
  if (version < 0x165) return MemoryLayout::Records10ms;
  return motor ? MemoryLayout::MotorGroups : MemoryLayout::Records2ms;
}

int RecordTimeMs(const RecordBytes& data) {
  return (data[0] * 256 + data[1]) * 100 + (data[3] >> 4) * 10 + (data[3] & 0x0E);
}

int RecordChannel(const RecordBytes& data) { return data[2] + 256 * (data[3] & 1); }

ConsoleMemory::ConsoleMemory(MemoryLayout layout, int capacity)
    : layout_(layout), cells_(static_cast<size_t>(std::max(capacity, 0))) {}

bool ConsoleMemory::Write(const RecordBytes& data) {
  RecordBytes kept = data;
  // Below 165 the console has no room for the 2 ms digit.
  if (layout_ == MemoryLayout::PerChannel || layout_ == MemoryLayout::Records10ms) kept[3] &= 0xF1;
  if (layout_ == MemoryLayout::PerChannel) {
    const int channel = RecordChannel(data);
    if (channel == 0) {
      channelZero_ = kept;
      return true;
    }
    if (channel < 1 || channel > Capacity()) return false;
    cells_[channel - 1] = kept;
    return true;
  }
  if (writePointer_ >= Capacity()) return false;
  cells_[writePointer_++] = kept;
  return true;
}

std::optional<RecordBytes> ConsoleMemory::Read(int index) const {
  if (index == 0 && layout_ == MemoryLayout::PerChannel)
    return channelZero_ ? *channelZero_ : RecordBytes{0xFF, 0xFF, 0x00, 0x00};
  if (index < 1 || index > Capacity()) return std::nullopt;
  if (cells_[index - 1]) return *cells_[index - 1];
  if (layout_ == MemoryLayout::PerChannel)
    return RecordBytes{0xFF, 0xFF, static_cast<uint8_t>(index & 0xFF), static_cast<uint8_t>(index >> 8)};
  return RecordBytes{0xFF, 0xFF, 0x00, 0x00};
}

std::vector<StoredCue> ConsoleMemory::Cues() const {
  std::vector<StoredCue> cues;
  if (layout_ == MemoryLayout::MotorGroups) {
    for (size_t e = 0; e + 2 < cells_.size(); e += 3) {
      const auto& r0 = cells_[e];
      const auto& r1 = cells_[e + 1];
      const auto& r2 = cells_[e + 2];
      if (!r0 || !r1 || !r2) continue;
      if ((*r0)[3] != 0 || (*r1)[3] != 1 || (*r2)[3] != 2) continue;
      if ((*r0)[0] != (*r1)[0] || (*r0)[1] != (*r1)[1] || (*r0)[0] != (*r2)[0] || (*r0)[1] != (*r2)[1]) continue;
      if (!IsMotionCode((*r2)[2])) continue;
      StoredCue cue;
      cue.timeMs = ((*r0)[0] * 256 + (*r0)[1]) * 100;
      if (cue.timeMs == kFillerTimeMs) continue;
      cue.kind = FireKind::Motion;
      cue.motionCode = (*r2)[2];
      cue.x = (*r0)[2];
      cue.y = (*r1)[2];
      cues.push_back(cue);
    }
  } else {
    for (const auto& cell : cells_) {
      if (!cell) continue;
      StoredCue cue;
      cue.timeMs = RecordTimeMs(*cell);
      cue.channel = RecordChannel(*cell);
      if (cue.timeMs == kFillerTimeMs || cue.channel == 0) continue;
      cues.push_back(cue);
    }
  }
  std::stable_sort(cues.begin(), cues.end(),
                   [](const StoredCue& a, const StoredCue& b) { return a.timeMs < b.timeMs; });
  return cues;
}

}  // namespace fd::sim
