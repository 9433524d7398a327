// The show clock's sources: the monotonic tick count, or the chased timecode.
#include "show/show_clock_source.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/clock.h"
#include "show/common_player.h"

namespace fd::show {

int32_t WholeShowMs(double showMs) {
  if (std::isnan(showMs)) return 0;
  const double floor = std::floor(showMs);
  return static_cast<int32_t>(
      std::clamp<double>(floor, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int32_t MonotonicShowClock::ShowTimeAt(uint32_t now) { return show::ShowTimeAt(startPosition_, startTick_, now); }

int64_t MonotonicShowClock::MsUntil(int64_t showMs, uint32_t now) {
  // From the start of the run, never from an earlier call, so that no error accumulates.
  return showMs - startPosition_ - static_cast<int64_t>(platform::TicksSince(startTick_, now));
}

int32_t ChasedShowClock::ShowTimeAt(uint32_t now) {
  if (const auto show = chase_.ShowTime(static_cast<double>(now))) last_ = WholeShowMs(*show);
  return last_;
}

int64_t ChasedShowClock::MsUntil(int64_t showMs, uint32_t now) {
  // The timecode runs at real speed to within a fraction of a percent: a wake-up a little early
  // finds nothing due and asks again.
  return showMs - ShowTimeAt(now);
}

}  // namespace fd::show
