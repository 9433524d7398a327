#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "audio/audio_device.h"

namespace fd::audio::testing {

// Keeps every byte the output hands over at both taps (through the delivery hook) while it lives.
class DeliveryRecorder {
 public:
  DeliveryRecorder() {
    SetDeliveryHook([this](Tap tap, const uint8_t* data, int32_t count) {
      std::lock_guard lock(mutex_);
      Of(tap).append(reinterpret_cast<const char*>(data), static_cast<size_t>(count));
      arrived_.notify_all();
    });
  }
  ~DeliveryRecorder() { SetDeliveryHook(nullptr); }
  DeliveryRecorder(const DeliveryRecorder&) = delete;
  DeliveryRecorder& operator=(const DeliveryRecorder&) = delete;

  // The output thread runs in real time; the generous limit only matters when something is broken.
  bool WaitFor(size_t count, Tap tap = Tap::FilePcm) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return Of(tap).size() >= count; });
  }

  std::string Bytes(Tap tap = Tap::FilePcm) {
    std::lock_guard lock(mutex_);
    return Of(tap);
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    filePcm_.clear();
    deviceOutput_.clear();
  }

 private:
  std::string& Of(Tap tap) { return tap == Tap::FilePcm ? filePcm_ : deviceOutput_; }

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::string filePcm_;
  std::string deviceOutput_;
};

// Polls a condition of the output thread's making, for at most five seconds.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace fd::audio::testing
