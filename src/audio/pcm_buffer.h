#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace fd::audio {

// Decoded PCM kept in fixed blocks: a long soundtrack grows block by block instead of being copied
// into an ever larger array, so decoding never needs twice the memory of the result.
class PcmBuffer {
 public:
  static constexpr int64_t kBlockBytes = 1 << 20;

  void Append(const uint8_t* data, int64_t count);
  int64_t Size() const { return size_; }
  // Copies up to count bytes from offset; returns how many were copied (0 at or beyond the end).
  int64_t CopyOut(int64_t offset, uint8_t* out, int64_t count) const;
  void Clear();

 private:
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  int64_t size_ = 0;
};

}  // namespace fd::audio
