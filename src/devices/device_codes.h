#pragma once

#include <cstdint>

namespace fd::devices {

// Class codes kept in every device object; the write and the player test them.
inline constexpr uint8_t kKindCommon = 0;
inline constexpr uint8_t kKindControl = 1;
inline constexpr uint8_t kKindAuto = 2;
inline constexpr uint8_t kKindHV = 3;
inline constexpr uint8_t kKindMotor = 4;
inline constexpr uint8_t kKindRadio = 5;
inline constexpr uint8_t kKindRemote = 6;
inline constexpr uint8_t kKindSoft = 7;

// Firmware versions are three hexadecimal digits read as one number: "151" is 0x151.
inline constexpr int kVersionRecordList = 0x148;  // memory holds (time, channel) records
inline constexpr int kVersionStatusBit = 0x151;   // the status answer carries a meaningful bit
inline constexpr int kVersionConfirmedWrite = 0x165;
inline constexpr int kVersionScaledTest = 0x268;  // channel readings scaled by 100 and kept
inline constexpr int kVersionReading = 0x36B;     // the signed reading is fetched while polling

// Per-channel tables of a console; channels are 0-based indexes into them.
inline constexpr int kChannelTableSize = 512;
inline bool ChannelInTable(int channel) { return channel >= 0 && channel < kChannelTableSize; }

// StatusBit when the console did not report one.
inline constexpr uint8_t kStatusNotReported = 2;

// Result of a device operation refused before anything was sent: a channel outside the
// 512-entry tables, a level outside 14 bits, a motion parameter outside a byte. Distinct from
// every code of the bus engine so that a caller can tell "not sent" from "sent and failed".
inline constexpr int kOutOfRange = -4;

}  // namespace fd::devices
