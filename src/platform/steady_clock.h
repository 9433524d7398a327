#pragma once

#include "platform/clock.h"

namespace fd::platform {

// The real clock: monotonic milliseconds since an arbitrary start, truncated to 32 bits.
class SteadyClock : public Clock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t ms) override;
};

}  // namespace fd::platform
