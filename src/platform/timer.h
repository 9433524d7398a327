#pragma once

#include <cstdint>
#include <functional>

namespace fd::platform {

// A repeating timer that fires on the user-interface thread. Created disabled.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetInterval(uint32_t ms) = 0;
  virtual uint32_t Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;

  std::function<void()> OnTimer;
};

}  // namespace fd::platform
