#pragma once

#include <cstdint>

namespace fd::platform {

// Millisecond tick count that wraps at 2^32, like the host's tick counter. Every wait of the core
// goes through here so that tests can run on a virtual clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// Elapsed milliseconds between two tick counts, taken as unsigned so that the wrap is harmless.
inline uint32_t TicksSince(uint32_t start, uint32_t now) { return now - start; }

}  // namespace fd::platform
