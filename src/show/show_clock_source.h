#pragma once

#include <cstdint>

#include "timecode/timecode_chase.h"

namespace fd::show {

// Where the show clock takes its time from. Whatever the source, the player's rules stay as they
// are: cues go when their time is at or before the clock, in list order, never twice.
class ShowClockSource {
 public:
  virtual ~ShowClockSource() = default;
  // The show time (ms from the scenario's start) at the platform's tick count now.
  virtual int32_t ShowTimeAt(uint32_t now) = 0;
  // Platform milliseconds until the show clock reaches showMs (zero or less when it has).
  virtual int64_t MsUntil(int64_t showMs, uint32_t now) = 0;
};

// The platform's monotonic tick count from the moment of the start: the player's own clock.
class MonotonicShowClock final : public ShowClockSource {
 public:
  // The player's start position and start tick, read at every call.
  MonotonicShowClock(const int32_t& startPosition, const uint32_t& startTick)
      : startPosition_(startPosition), startTick_(startTick) {}
  int32_t ShowTimeAt(uint32_t now) override;
  int64_t MsUntil(int64_t showMs, uint32_t now) override;

 private:
  const int32_t& startPosition_;
  const uint32_t& startTick_;
};

// The chased timecode. Whole milliseconds, rounded down: a cue never goes before its time.
class ChasedShowClock final : public ShowClockSource {
 public:
  explicit ChasedShowClock(timecode::TimecodeChase& chase) : chase_(chase) {}
  int32_t ShowTimeAt(uint32_t now) override;
  int64_t MsUntil(int64_t showMs, uint32_t now) override;

 private:
  timecode::TimecodeChase& chase_;
  // Before the first lock there is no timecode; the clock stands where it was.
  int32_t last_ = 0;
};

// A show time in ms as the player keeps it: rounded down, within the 32-bit range.
int32_t WholeShowMs(double showMs);

}  // namespace fd::show
