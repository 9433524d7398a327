#include "bus/bus_frame.h"

#include <chrono>
#include <random>

namespace fd::bus {

namespace {

constexpr std::array<uint8_t, 256> MakeCrcTable() {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    uint8_t crc = static_cast<uint8_t>(i);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? static_cast<uint8_t>((crc >> 1) ^ 0x8C) : static_cast<uint8_t>(crc >> 1);
    table[i] = crc;
  }
  return table;
}

constexpr std::array<uint8_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint8_t Crc8Maxim(const uint8_t* bytes, size_t count) {
  uint8_t crc = 0;
  for (size_t i = 0; i < count; ++i) crc = kCrcTable[crc ^ bytes[i]];
  return crc;
}

uint8_t FrameCrc(const uint8_t* sixBytes) { return Crc8Maxim(sixBytes, 6); }

uint8_t FrameCrc(const Frame6& frame) { return FrameCrc(frame.data()); }

BusFrame MakeBusFrame(const Frame6& frame) {
  BusFrame out{};
  for (int i = 0; i < 6; ++i) out[i] = frame[i];
  out[6] = FrameCrc(frame);
  return out;
}

bool FrameCrcMatches(const uint8_t* sevenBytes) { return FrameCrc(sevenBytes) == sevenBytes[6]; }

uint8_t InstanceNumber() {
  static const uint8_t number = [] {
    std::mt19937 generator(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 254)(generator) + 1);
  }();
  return number;
}

}  // namespace fd::bus
