#pragma once

#include <cstdint>
#include <string>

#include "bus/bus_frame.h"

// How the commands' values are laid out in frame bytes. Every encoder returns false, and leaves
// its outputs alone, when the value does not fit its field.
namespace fd::bus::codec {

bool AddressByte(int address, uint8_t& byte);

// Channel index (0-based) as the channel number on the wire (index + 1), 16-bit little-endian
// (commands 0x83, 0x84): 1..65535.
bool Channel16(int channelIndex, uint8_t& low, uint8_t& high);
// The 9-bit form of records (0x91, 0x92): byte 3 takes the low byte, bit 0 of byte 4 the ninth bit,
// so channel numbers 0..511 (indexes -1..510). A scenario may name channel 0 (index -1): its record
// is stored and read back like any other; only firing refuses it (Channel16).
bool Channel9(int channelIndex, uint8_t& byte3, uint8_t& bit8);

// Show time in tenths of a second, big-endian: 0..65535 tenths (0..6553599 ms).
bool CoarseTime(int timeMs, uint8_t& high, uint8_t& low);
// Broadcasts carry the running show time: times outside the field are clamped to its ends rather
// than wrapped, so that consoles never jump back to the start of their scenario.
void CoarseTimeClamped(int timeMs, uint8_t& high, uint8_t& low);

// Data bytes 1..4 of a record: T, channel number low byte, and byte 4 with the ninth channel bit,
// the 10 ms digit in bits 4..7 and, for the fine form, the 2 ms digit in bits 1..3.
bool RecordData(int channelIndex, int timeMs, bool fine, uint8_t data[4]);
// Decoding of a read-back record (reply bytes 1..4).
int RecordTime(const Frame6& reply, bool fine);
int RecordChannelIndex(const Frame6& reply);

// Firing level 0..16383 in bytes 3 and 4, with the reply request bit in byte 4.
bool LevelBytes(int level, bool replyWanted, uint8_t& byte3, uint8_t& byte4);

// Motion cue kinds 50..54 (C, L, R, LT, RT) and their sub-codes.
inline constexpr int kFirstMotorKind = 50;
inline constexpr int kLastMotorKind = 54;
bool MotorSubCode(int cueKind, uint8_t& subCode);
// "C", "L", "R", "LT", "RT" for the motor sub-codes, "?" for anything else.
std::string MotionName(uint8_t motionCode);
// The cue kind of a sub-code, or 0 when it is none of them.
int MotorKindOfSubCode(uint8_t subCode);
// Kinds LT and RT carry two parameters (Param2 first); C, L and R one.
bool MotorKindHasTwoParams(int cueKind);
// L, R, LT and RT turn the launcher by an amount or for a time from wherever it stands; C sends it
// to the centre, a place.
bool MotorKindIsRelative(int cueKind);
bool ParamByte(int param, uint8_t& byte);

}  // namespace fd::bus::codec
