#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace fd::bus {

// Inside the program a frame travels as its first six bytes: code, four data bytes, address.
using Frame6 = std::array<uint8_t, 6>;
// On the wire the CRC follows as byte 6.
using BusFrame = std::array<uint8_t, 7>;

inline constexpr int kFrameSize = 7;

// CRC-8/MAXIM (1-Wire) over the six bytes, through its 256-entry table.
uint8_t FrameCrc(const uint8_t* sixBytes);
// The same CRC over any number of bytes (the frame uses exactly six).
uint8_t Crc8Maxim(const uint8_t* bytes, size_t count);
uint8_t FrameCrc(const Frame6& frame);

BusFrame MakeBusFrame(const Frame6& frame);
// True when byte 6 is the CRC of bytes 0..5 (the code byte is not judged here).
bool FrameCrcMatches(const uint8_t* sevenBytes);

// Bus addresses.
inline constexpr int kRemoteControlAddress = 0;
inline constexpr int kFirstConsoleAddress = 1;
inline constexpr int kLastConsoleAddress = 199;
inline constexpr int kFirstRadioAddress = 240;
inline constexpr int kLastRadioAddress = 254;
inline constexpr int kPeerAddress = 255;

// The run/stop broadcast with the stop flag (90 T T 00 .. ..), as the remote control and every
// operator program send it to halt the show; frames for operator programs (address 255) are not.
inline bool IsStopBroadcast(const Frame6& frame) {
  return frame[0] == 0x90 && frame[3] == 0 && frame[5] != kPeerAddress;
}

// This program's number among operator programs on the bus: drawn once, 1..255.
uint8_t InstanceNumber();

}  // namespace fd::bus
