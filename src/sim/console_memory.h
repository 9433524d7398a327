#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/fire_log.h"

namespace fd::sim {

// How a console keeps its scenario, by firmware generation.
enum class MemoryLayout {
  PerChannel,   // below 148: one cell per channel, the write's channel picks the cell; 10 ms steps
  Records10ms,  // 148..164: records in write order, each (time, channel); 10 ms steps
  Records2ms,   // 165 and later: as above with 2 ms steps; writes are confirmed
  MotorGroups,  // motor consoles from 165 on: every motion takes three records
};

MemoryLayout LayoutFor(int version, bool motor);

// The time of an empty record: 65535 x 100 ms. Never fired.
inline constexpr int kFillerTimeMs = 6553500;

// A cue as the console will play it back.
struct StoredCue {
  int timeMs = 0;
  FireKind kind = FireKind::Channel;
  int channel = 0;  // wire channel number, 1-based
  uint8_t motionCode = 0;
  int x = 0;
  int y = 0;
};

// Data bytes 1..4 of a record frame (write 0x91 or read answer 0x6D).
using RecordBytes = std::array<uint8_t, 4>;

// Decodes the time a record's bytes carry, fine digits included (the 2 ms bits count only where the
// layout keeps them, and older layouts clear them when storing).
int RecordTimeMs(const RecordBytes& data);
int RecordChannel(const RecordBytes& data);

// The record memory of one console. Capacity counts cells (per-channel layout) or records.
// Nothing here is thread-safe; the console that owns it serialises access.
class ConsoleMemory {
 public:
  ConsoleMemory(MemoryLayout layout, int capacity);

  MemoryLayout Layout() const { return layout_; }
  int Capacity() const { return static_cast<int>(cells_.size()); }
  int WritePointer() const { return writePointer_; }
  // The console starts every write sequence at record 0 (it is told so by the identification
  // exchange that begins each console's turn).
  void Rewind() { writePointer_ = 0; }

  // Stores a write frame's data bytes the way this layout keeps them. False when the record would
  // lie beyond the memory: such writes are ignored.
  bool Write(const RecordBytes& data);
  // What a read request for index answers: the channel number for the per-channel layout (0..
  // capacity), the record number + 1 otherwise. A cell never written reads as an empty record (filler time).
  // Nothing for an index outside the memory.
  std::optional<RecordBytes> Read(int index) const;

  // The playable cues in time order (write order among equal times); empty and filler records and
  // incomplete motion groups are left out.
  std::vector<StoredCue> Cues() const;

 private:
  MemoryLayout layout_;
  std::vector<std::optional<RecordBytes>> cells_;
  // The per-channel layout's cell for channel number 0: it holds a time like any other cell (a
  // scenario may name channel 0) but fires nothing.
  std::optional<RecordBytes> channelZero_;
  int writePointer_ = 0;
};

}  // namespace fd::sim
