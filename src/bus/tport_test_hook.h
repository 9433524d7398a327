#pragma once

#include <mutex>
#include <utility>
#include <vector>

#include "bus/tport.h"

namespace fd::bus {

// A window into the engine's receive side for tests and benchmarks: what is in the receive buffer,
// a way to put bytes there as the background reader would, and the scanner step on its own.
class TPortTestHook {
 public:
  explicit TPortTestHook(TPort& port) : port_(port) {}

  int RxCount() {
    std::lock_guard lock(port_.rxLock_);
    return port_.rxCount_;
  }
  std::vector<uint8_t> RxBytes() {
    std::lock_guard lock(port_.rxLock_);
    return {port_.rxBuffer_.get(), port_.rxBuffer_.get() + port_.rxCount_};
  }
  std::vector<int> RxConverters() {
    std::lock_guard lock(port_.rxLock_);
    return {port_.rxConverter_.get(), port_.rxConverter_.get() + port_.rxCount_};
  }
  // Appends bytes as received from converter; returns how many fitted.
  int PushReceived(const std::vector<uint8_t>& bytes, int converter) {
    int pushed = 0;
    for (uint8_t b : bytes) {
      if (RxCount() >= TPort::kRxBufferSize) break;
      port_.AppendForeignByte(b, converter);
      ++pushed;
    }
    return pushed;
  }
  // One scanner step as a pass runs it, without the hand-over: the batch it cut.
  std::vector<std::pair<Frame6, int>> CutMessages() {
    std::lock_guard lock(port_.rxLock_);
    const int n = port_.CutMessages();
    std::vector<std::pair<Frame6, int>> batch;
    for (int i = 0; i < n; ++i) batch.emplace_back(port_.messages_[i], port_.messageConverters_[i]);
    return batch;
  }
  int MessageCount() {
    std::lock_guard lock(port_.rxLock_);
    return port_.messageCount_;
  }
  void DispatchMessages() { port_.DispatchMessages(MessageCount()); }

 private:
  TPort& port_;
};

}  // namespace fd::bus
