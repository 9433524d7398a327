#include "devices/threadless_engine.h"

namespace fd::devices {

namespace {
// One engine pass sleeps twice 3 ms; a wait shorter than that is simply slept.
constexpr uint32_t kPassMs = 6;
}  // namespace

// What the engine sees: the host, except that hand-overs may be kept for later.
class ThreadlessEngine::EngineHost : public platform::Platform {
 public:
  explicit EngineHost(ThreadlessEngine& owner) : owner_(owner) {}
  platform::Clock& GetClock() override { return owner_.host_.GetClock(); }
  std::unique_ptr<platform::Timer> CreateTimer() override { return owner_.host_.CreateTimer(); }
  void RunOnUiThread(const std::function<void()>& fn) override { owner_.HandOver(fn); }
  void ProcessPendingEvents() override { owner_.host_.ProcessPendingEvents(); }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    owner_.host_.ShowMessage(text, caption);
  }
  void ShowFailure(const std::string& text, const std::string& caption, const std::string& record) override {
    owner_.host_.ShowFailure(text, caption, record);
  }

 private:
  ThreadlessEngine& owner_;
};

// The registry's clock: its sleeps let the engine read.
class ThreadlessEngine::WaitClock : public platform::Clock {
 public:
  explicit WaitClock(ThreadlessEngine& owner) : owner_(owner) {}
  uint32_t TickCount() override { return owner_.host_.GetClock().TickCount(); }
  void Sleep(uint32_t ms) override { owner_.Wait(ms); }

 private:
  ThreadlessEngine& owner_;
};

class ThreadlessEngine::RegistryHost : public platform::Platform {
 public:
  RegistryHost(ThreadlessEngine& owner, WaitClock& clock) : owner_(owner), clock_(clock) {}
  platform::Clock& GetClock() override { return clock_; }
  std::unique_ptr<platform::Timer> CreateTimer() override { return owner_.host_.CreateTimer(); }
  void RunOnUiThread(const std::function<void()>& fn) override { owner_.host_.RunOnUiThread(fn); }
  void ProcessPendingEvents() override { owner_.host_.ProcessPendingEvents(); }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    owner_.host_.ShowMessage(text, caption);
  }
  void ShowFailure(const std::string& text, const std::string& caption, const std::string& record) override {
    owner_.host_.ShowFailure(text, caption, record);
  }

 private:
  ThreadlessEngine& owner_;
  WaitClock& clock_;
};

ThreadlessEngine::ThreadlessEngine(platform::Platform& host)
    : host_(host),
      engineHost_(std::make_unique<EngineHost>(*this)),
      waitClock_(std::make_unique<WaitClock>(*this)),
      registryHost_(std::make_unique<RegistryHost>(*this, *waitClock_)) {}

ThreadlessEngine::~ThreadlessEngine() { Stop(); }

platform::Platform& ThreadlessEngine::EnginePlatform() { return *engineHost_; }
platform::Platform& ThreadlessEngine::RegistryPlatform() { return *registryHost_; }

void ThreadlessEngine::HandOver(const std::function<void()>& fn) {
  // Inside a wait the user-interface thread is asleep: the engine thread would block here until
  // it wakes. Keep the work; no pass runs until it is delivered.
  if (waiting_ > 0) {
    kept_ = fn;
    return;
  }
  fn();
}

void ThreadlessEngine::Pass() {
  if (inPass_ || port_ == nullptr) return;
  inPass_ = true;
  if (kept_) {
    if (waiting_ == 0) {
      auto work = std::move(kept_);
      kept_ = nullptr;
      work();
    }
  } else {
    port_->ExecutePass();
  }
  inPass_ = false;
}

void ThreadlessEngine::Wait(uint32_t ms) {
  platform::Clock& clock = host_.GetClock();
  const uint32_t start = clock.TickCount();
  ++waiting_;
  for (;;) {
    const uint32_t spent = platform::TicksSince(start, clock.TickCount());
    if (spent >= ms) break;
    const uint32_t left = ms - spent;
    // During a pass (a frame handler) the engine thread is blocked in its hand-over; a kept
    // hand-over blocks it as well.
    if (inPass_ || kept_ || left < kPassMs) {
      clock.Sleep(left);
      break;
    }
    Pass();
  }
  --waiting_;
}

void ThreadlessEngine::Start(uint32_t intervalMs) {
  if (!timer_) {
    timer_ = host_.CreateTimer();
    timer_->OnTimer = [this] { Pass(); };
  }
  timer_->SetInterval(intervalMs);
  timer_->SetEnabled(true);
}

void ThreadlessEngine::Stop() {
  if (timer_) timer_->SetEnabled(false);
}

}  // namespace fd::devices
