#include "platform/loop_platform.h"

#include <algorithm>
#include <cstdio>

namespace fd::platform {

class LoopPlatform::LoopTimer : public Timer {
 public:
  explicit LoopTimer(LoopPlatform& owner) : owner_(owner) {}
  ~LoopTimer() override {
    std::lock_guard lock(owner_.mutex_);
    auto& t = owner_.timers_;
    t.erase(std::remove(t.begin(), t.end(), this), t.end());
  }
  void SetInterval(uint32_t ms) override {
    interval_ = ms;
    due_ = owner_.clock_.TickCount() + interval_;
  }
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    if (enabled && !enabled_) due_ = owner_.clock_.TickCount() + interval_;
    enabled_ = enabled;
  }
  bool Enabled() const override { return enabled_; }

  // Fires when due; the next moment is one interval after this one, or one interval from now when
  // the handler overran it.
  bool FireIfDue(uint32_t now) {
    if (!enabled_ || static_cast<int32_t>(now - due_) < 0) return false;
    due_ += interval_;
    if (static_cast<int32_t>(now - due_) >= 0) due_ = now + interval_;
    if (OnTimer) OnTimer();
    return true;
  }

 private:
  LoopPlatform& owner_;
  uint32_t interval_ = 1000;
  uint32_t due_ = 0;
  bool enabled_ = false;
};

LoopPlatform::LoopPlatform() : uiThread_(std::this_thread::get_id()) {}

LoopPlatform::~LoopPlatform() = default;

std::unique_ptr<Timer> LoopPlatform::CreateTimer() {
  auto timer = std::make_unique<LoopTimer>(*this);
  std::lock_guard lock(mutex_);
  timers_.push_back(timer.get());
  return timer;
}

void LoopPlatform::RunOnUiThread(const std::function<void()>& fn) {
  if (!fn) return;
  if (std::this_thread::get_id() == uiThread_) {
    fn();
    return;
  }
  // The caller waits until the loop thread ran its function, like a blocking queued call.
  std::function<void()> task = fn;
  std::unique_lock lock(mutex_);
  handOvers_.push_back(&task);
  done_.wait(lock, [&] { return std::find(handOvers_.begin(), handOvers_.end(), &task) == handOvers_.end(); });
}

void LoopPlatform::ProcessPendingEvents() {
  for (;;) {
    std::function<void()>* task = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (handOvers_.empty()) break;
      task = handOvers_.front();
    }
    (*task)();
    {
      std::lock_guard lock(mutex_);
      handOvers_.pop_front();
    }
    done_.notify_all();
  }
  std::vector<LoopTimer*> timers;
  {
    std::lock_guard lock(mutex_);
    timers = timers_;
  }
  const uint32_t now = clock_.TickCount();
  for (LoopTimer* t : timers) {
    {
      // A handler may have destroyed a later timer of this round.
      std::lock_guard lock(mutex_);
      if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) continue;
    }
    t->FireIfDue(now);
  }
}

void LoopPlatform::ShowMessage(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void LoopPlatform::ShowFailure(const std::string&, const std::string& caption, const std::string& record) {
  ShowMessage(record, caption);
}

bool LoopPlatform::RunUntil(const std::function<bool()>& pred, uint32_t limitMs) {
  const uint32_t start = clock_.TickCount();
  for (;;) {
    ProcessPendingEvents();
    if (pred && pred()) return true;
    if (clock_.TickCount() - start >= limitMs) return false;
    clock_.Sleep(1);
  }
}

void LoopPlatform::RunFor(uint32_t ms) { RunUntil(nullptr, ms); }

}  // namespace fd::platform
