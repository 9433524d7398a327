#pragma once

// A port for pinning bytes: records every transmission, delivers scripted bytes at virtual times,
// and waits like a converter read (until the count arrived or 20 ms passed) on the virtual clock.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "bus/bus_frame.h"
#include "bus/common_port.h"
#include "platform/virtual_platform.h"

namespace fd::bus::testing {

class FakePort : public TCommonPort {
 public:
  explicit FakePort(platform::VirtualClock& clock, int converters = 1) : clock_(clock), converters_(converters) {}

  struct Sent {
    std::vector<uint8_t> bytes;
    int converter;
    uint64_t atMs;
  };
  std::vector<Sent> sent;
  // What Send returns when the port is open; by default the count (sent and echoed).
  int sendResult = -100;
  // Called after each transmission; may Deliver an answer.
  std::function<void(const std::vector<uint8_t>&, int converter)> onSend;
  bool converterPresent = true;
  int opens = 0, reopens = 0, closes = 0;
  int readCalls = 0;

  // Bytes that arrive on a converter delayMs from now, all together.
  void Deliver(const std::vector<uint8_t>& bytes, int converter = 0, uint32_t delayMs = 0) {
    for (uint8_t b : bytes) queues_[converter].push_back({clock_.Elapsed() + delayMs, b});
  }
  void DeliverFrame(const Frame6& frame, int converter = 0, uint32_t delayMs = 0) {
    const BusFrame f = MakeBusFrame(frame);
    Deliver({f.begin(), f.end()}, converter, delayMs);
  }
  // Answers every request with code `code` by `reply` (CRC added), delayMs after the request.
  void Answer(uint8_t code, const Frame6& reply, uint32_t delayMs = 2) {
    answers_[code] = {reply, delayMs};
    onSend = [this](const std::vector<uint8_t>& bytes, int) {
      auto it = answers_.find(bytes[0]);
      if (it != answers_.end()) DeliverFrame(it->second.first, 0, it->second.second);
    };
  }
  size_t Pending(int converter = 0) {
    size_t n = 0;
    for (auto& [t, b] : queues_[converter]) n += t <= clock_.Elapsed();
    return n;
  }

  bool Open() override {
    ++opens;
    Opened = converterPresent;
    return Opened;
  }
  void Close() override {
    ++closes;
    Opened = false;
  }
  bool Reopen() override {
    ++reopens;
    if (onReopen) onReopen();
    if (Opened) Close();
    return Open();
  }
  std::function<void()> onReopen;
  int ConverterCount() override { return Opened ? converters_ : 0; }
  int BytesAvailable() override {
    if (!Opened) return 0;
    if (!converterPresent) return -1;
    int n = 0;
    for (int c = 0; c < converters_; ++c) n += static_cast<int>(Pending(c));
    return n;
  }
  int Read(uint8_t* buffer, int count, int converter) override {
    if (!Opened) return -1;
    if (converter >= 0) return ReadFrom(converter, buffer, count);
    for (int c = 0; c < converters_; ++c) {
      const int n = ReadFrom(c, buffer, count);
      if (n != 0) return n;
    }
    return 0;
  }
  int ReadAny(uint8_t* buffer, int count, int& converter) override {
    if (!Opened) return -1;
    converter = -1;
    for (int c = 0; c < converters_; ++c) {
      const int n = ReadFrom(c, buffer, count);
      if (n != 0) {
        if (n > 0) converter = c;
        return n;
      }
    }
    return 0;
  }
  int Send(const uint8_t* data, int count, int converter) override {
    if (!Opened) return -1;
    // Like a converter write, drop what was received but not yet read.
    for (auto& [c, q] : queues_) {
      if (converter != -1 && c != converter) continue;
      while (!q.empty() && q.front().first <= clock_.Elapsed()) q.pop_front();
    }
    std::vector<uint8_t> bytes(data, data + count);
    clock_.Sleep(6);  // the gap and the bytes on the wire
    sent.push_back({bytes, converter, clock_.Elapsed()});
    if (onSend) onSend(bytes, converter);
    return sendResult == -100 ? count : sendResult;
  }

  static constexpr uint32_t kReadTimeoutMs = 20;

 private:
  // Waits until count bytes are there or the read time-out passed, moving the virtual clock.
  int ReadFrom(int converter, uint8_t* buffer, int count) {
    ++readCalls;
    auto& q = queues_[converter];
    const uint64_t deadline = clock_.Elapsed() + kReadTimeoutMs;
    int got = 0;
    for (;;) {
      while (got < count && !q.empty() && q.front().first <= clock_.Elapsed()) {
        buffer[got++] = q.front().second;
        q.pop_front();
      }
      if (got == count) return got;
      if (!q.empty() && q.front().first <= deadline) {
        clock_.SetElapsed(std::max(clock_.Elapsed(), q.front().first));
        continue;
      }
      clock_.SetElapsed(deadline);
      return got;
    }
  }

  platform::VirtualClock& clock_;
  int converters_;
  std::map<int, std::deque<std::pair<uint64_t, uint8_t>>> queues_;
  std::map<uint8_t, std::pair<Frame6, uint32_t>> answers_;
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

}  // namespace fd::bus::testing
