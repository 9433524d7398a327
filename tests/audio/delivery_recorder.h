#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "audio/audio_device.h"

namespace fd::audio::testing {

// Keeps every byte the output hands over (through the delivery hook) while it lives.
class DeliveryRecorder {
 public:
  DeliveryRecorder() {
    SetDeliveryHook([this](const uint8_t* pcm, int32_t count) {
      std::lock_guard lock(mutex_);
      bytes_.append(reinterpret_cast<const char*>(pcm), static_cast<size_t>(count));
      arrived_.notify_all();
    });
  }
  ~DeliveryRecorder() { SetDeliveryHook(nullptr); }
  DeliveryRecorder(const DeliveryRecorder&) = delete;
  DeliveryRecorder& operator=(const DeliveryRecorder&) = delete;

  // The output thread runs in real time; the generous limit only matters when something is broken.
  bool WaitFor(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return bytes_.size() >= count; });
  }

  std::string Bytes() {
    std::lock_guard lock(mutex_);
    return bytes_;
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    bytes_.clear();
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::string bytes_;
};

// Polls a condition of the output thread's making, for at most limit.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace fd::audio::testing
