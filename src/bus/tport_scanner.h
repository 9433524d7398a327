#pragma once

#include <cstdint>

#include "bus/bus_frame.h"

namespace fd::bus {

// Cuts frames out of received bytes: a frame is any seven bytes whose last is the CRC of the first
// six and whose code is neither 0x00 nor 0xFF. Bytes before a frame are dropped with it. At most
// maxMessages frames are taken; later ones stay for the next call. When no further frame is found
// only the last six bytes are kept, since a frame may still be arriving. The kept bytes move to the
// front together with their converter indexes.
//
// messages/messageConverters receive the frames' first six bytes and the converter of each frame's
// first byte. Returns the number of frames taken; count is updated to the bytes kept.
int CutFrames(uint8_t* bytes, int32_t* converters, int& count, Frame6* messages, int* messageConverters,
              int maxMessages);

}  // namespace fd::bus
