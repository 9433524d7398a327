#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "bus/tport.h"
#include "platform/platform.h"

namespace fd::devices {

// Runs the bus engine without its thread, on the user-interface thread, for virtual time (the
// device tests, the command line on the in-process bench).
//
// With its thread the engine keeps reading the bus while the user-interface thread sleeps in one
// of the registry's waits, so that nothing heard meanwhile is lost to the purge before the next
// transmission; a frame it cuts out then waits, with the engine thread, until the user-interface
// thread comes back to its events. This object gives the same order of things on one thread:
//  - the registry gets RegistryPlatform(): its waits run engine passes (when no pass is running
//    already: during a hand-over the engine thread would be blocked);
//  - the engine gets EnginePlatform(): a hand-over asked for inside such a wait is kept, and the
//    engine does nothing more until Pass() delivers it, outside any wait;
//  - Pass() is what the engine thread's loop would do next; run it from a timer.
class ThreadlessEngine {
 public:
  explicit ThreadlessEngine(platform::Platform& host);
  ~ThreadlessEngine();
  ThreadlessEngine(const ThreadlessEngine&) = delete;
  ThreadlessEngine& operator=(const ThreadlessEngine&) = delete;

  platform::Platform& EnginePlatform();
  platform::Platform& RegistryPlatform();
  // The engine built over EnginePlatform().
  void Attach(bus::TPort& port) { port_ = &port; }

  // Delivers a kept hand-over, or runs one engine pass. Does nothing inside a pass.
  void Pass();
  // A host timer that calls Pass() every intervalMs.
  void Start(uint32_t intervalMs = 1);
  void Stop();

 private:
  class EngineHost;
  class RegistryHost;
  class WaitClock;
  friend class EngineHost;
  friend class WaitClock;

  void Wait(uint32_t ms);
  void HandOver(const std::function<void()>& fn);

  platform::Platform& host_;
  bus::TPort* port_ = nullptr;
  std::unique_ptr<EngineHost> engineHost_;
  std::unique_ptr<WaitClock> waitClock_;
  std::unique_ptr<RegistryHost> registryHost_;
  std::unique_ptr<platform::Timer> timer_;
  bool inPass_ = false;
  int waiting_ = 0;
  std::function<void()> kept_;
};

}  // namespace fd::devices
