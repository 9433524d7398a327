#include "bus/tport_scanner.h"

#include <cstring>

namespace fd::bus {

namespace {

bool IsFrameAt(const uint8_t* p) { return p[0] != 0x00 && p[0] != 0xFF && FrameCrcMatches(p); }

}  // namespace

int CutFrames(uint8_t* bytes, int32_t* converters, int& count, Frame6* messages, int* messageConverters,
              int maxMessages) {
  int taken = 0;
  // start is the first byte still kept. The bytes are moved to the front once at the end instead of
  // after every frame, so a full buffer costs one pass, not one pass per frame.
  int start = 0;
  while (count - start > 6 && taken < maxMessages) {
    int pos = start;
    const int last = count - kFrameSize;
    while (pos <= last && !IsFrameAt(bytes + pos)) ++pos;
    if (pos > last) {
      start = count - 6;
      break;
    }
    std::memcpy(messages[taken].data(), bytes + pos, 6);
    messageConverters[taken] = converters[pos];
    ++taken;
    start = pos + kFrameSize;
  }
  if (start > 0) {
    const int kept = count - start;
    std::memmove(bytes, bytes + start, static_cast<size_t>(kept));
    std::memmove(converters, converters + start, static_cast<size_t>(kept) * sizeof(int32_t));
    count = kept;
  }
  return taken;
}

}  // namespace fd::bus
