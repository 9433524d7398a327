#include "platform/virtual_platform.h"

#include <algorithm>

namespace fd::platform {

class VirtualPlatform::VirtualTimer : public Timer {
 public:
  explicit VirtualTimer(VirtualPlatform& owner) : owner_(owner) {}
  ~VirtualTimer() override { owner_.Unregister(this); }

  void SetInterval(uint32_t ms) override {
    interval_ = ms;
    if (enabled_) due_ = owner_.clock_.Elapsed() + interval_;
  }
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    if (enabled && !enabled_) due_ = owner_.clock_.Elapsed() + interval_;
    enabled_ = enabled;
  }
  bool Enabled() const override { return enabled_; }

  uint64_t due_ = 0;

 private:
  VirtualPlatform& owner_;
  uint32_t interval_ = 1000;
  bool enabled_ = false;
};

VirtualPlatform::VirtualPlatform(uint32_t clockStart) : clock_(clockStart) {}

VirtualPlatform::~VirtualPlatform() = default;

std::unique_ptr<Timer> VirtualPlatform::CreateTimer() {
  auto timer = std::make_unique<VirtualTimer>(*this);
  std::lock_guard lock(mutex_);
  timers_.push_back(timer.get());
  return timer;
}

void VirtualPlatform::Unregister(VirtualTimer* timer) {
  std::lock_guard lock(mutex_);
  timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

void VirtualPlatform::RunOnUiThread(const std::function<void()>& fn) {
  if (fn) fn();
}

void VirtualPlatform::ProcessPendingEvents() {
  ++processEventsCalls;
  if (OnProcessEvents) OnProcessEvents();
}

void VirtualPlatform::ShowMessage(const std::string& text, const std::string& caption) {
  messages.push_back({text, caption, {}});
}

void VirtualPlatform::ShowFailure(const std::string& text, const std::string& caption, const std::string& record) {
  messages.push_back({text, caption, record});
}

void VirtualPlatform::Advance(uint64_t ms) {
  const uint64_t target = clock_.Elapsed() + ms;
  for (;;) {
    VirtualTimer* next = nullptr;
    {
      std::lock_guard lock(mutex_);
      for (VirtualTimer* t : timers_) {
        if (!t->Enabled() || t->due_ > target) continue;
        if (next == nullptr || t->due_ < next->due_) next = t;
      }
    }
    if (next == nullptr) break;
    if (next->due_ > clock_.Elapsed()) clock_.SetElapsed(next->due_);
    uint64_t following = next->due_ + next->Interval();
    if (following <= clock_.Elapsed()) following = clock_.Elapsed() + std::max<uint32_t>(next->Interval(), 1);
    next->due_ = following;
    if (next->OnTimer) next->OnTimer();  // may sleep, may disable or destroy the timer
  }
  if (clock_.Elapsed() < target) clock_.SetElapsed(target);
}

bool VirtualPlatform::AdvanceUntil(const std::function<bool()>& pred, uint64_t limitMs, uint64_t stepMs) {
  uint64_t spent = 0;
  while (!pred()) {
    if (spent >= limitMs) return false;
    Advance(stepMs);
    spent += stepMs;
  }
  return true;
}

}  // namespace fd::platform
