#include "audio/pcm_buffer.h"

#include <algorithm>
#include <cstring>

namespace fd::audio {

void PcmBuffer::Append(const uint8_t* data, int64_t count) {
  while (count > 0) {
    const int64_t used = size_ % kBlockBytes;
    if (used == 0 && size_ / kBlockBytes == static_cast<int64_t>(blocks_.size())) {
      blocks_.push_back(std::make_unique<uint8_t[]>(kBlockBytes));
    }
    const int64_t n = std::min(count, kBlockBytes - used);
    std::memcpy(blocks_[size_ / kBlockBytes].get() + used, data, static_cast<size_t>(n));
    size_ += n;
    data += n;
    count -= n;
  }
}

int64_t PcmBuffer::CopyOut(int64_t offset, uint8_t* out, int64_t count) const {
  if (offset < 0 || count <= 0 || offset >= size_) return 0;
  count = std::min(count, size_ - offset);
  int64_t copied = 0;
  while (copied < count) {
    const int64_t at = offset + copied;
    const int64_t inBlock = at % kBlockBytes;
    const int64_t n = std::min(count - copied, kBlockBytes - inBlock);
    std::memcpy(out + copied, blocks_[at / kBlockBytes].get() + inBlock, static_cast<size_t>(n));
    copied += n;
  }
  return copied;
}

void PcmBuffer::Clear() {
  blocks_.clear();
  size_ = 0;
}

}  // namespace fd::audio
