#include "bus/tport_codec.h"

namespace fd::bus::codec {

bool AddressByte(int address, uint8_t& byte) {
  if (address < 0 || address > 255) return false;
  byte = static_cast<uint8_t>(address);
  return true;
}

bool Channel16(int channelIndex, uint8_t& low, uint8_t& high) {
  if (channelIndex < 0 || channelIndex >= 0xFFFF) return false;
  const int n = channelIndex + 1;
  low = static_cast<uint8_t>(n & 0xFF);
  high = static_cast<uint8_t>(n >> 8);
  return true;
}

bool Channel9(int channelIndex, uint8_t& byte3, uint8_t& bit8) {
  if (channelIndex < -1 || channelIndex > 510) return false;
  const int n = channelIndex + 1;
  byte3 = static_cast<uint8_t>(n & 0xFF);
  bit8 = static_cast<uint8_t>(n >> 8);
  return true;
}

bool CoarseTime(int timeMs, uint8_t& high, uint8_t& low) {
  if (timeMs < 0 || timeMs / 100 > 0xFFFF) return false;
  const int t = timeMs / 100;
  high = static_cast<uint8_t>(t >> 8);
  low = static_cast<uint8_t>(t & 0xFF);
  return true;
}

void CoarseTimeClamped(int timeMs, uint8_t& high, uint8_t& low) {
  int t = timeMs < 0 ? 0 : timeMs / 100;
  if (t > 0xFFFF) t = 0xFFFF;
  high = static_cast<uint8_t>(t >> 8);
  low = static_cast<uint8_t>(t & 0xFF);
}

bool RecordData(int channelIndex, int timeMs, bool fine, uint8_t data[4]) {
  uint8_t high, low, byte3, bit8;
  if (!CoarseTime(timeMs, high, low) || !Channel9(channelIndex, byte3, bit8)) return false;
  int byte4 = bit8 + 16 * ((timeMs / 10) % 10);
  if (fine) byte4 += 2 * ((timeMs % 10) / 2);
  data[0] = high;
  data[1] = low;
  data[2] = byte3;
  data[3] = static_cast<uint8_t>(byte4);
  return true;
}

int RecordTime(const Frame6& reply, bool fine) {
  int t = (reply[1] * 256 + reply[2]) * 100 + (reply[4] >> 4) * 10;
  if (fine) t += reply[4] & 0x0E;
  return t;
}

int RecordChannelIndex(const Frame6& reply) { return reply[3] + 256 * (reply[4] & 1) - 1; }

bool LevelBytes(int level, bool replyWanted, uint8_t& byte3, uint8_t& byte4) {
  if (level < 0 || level > 16383) return false;
  byte3 = static_cast<uint8_t>(0x80 + (level >> 7));
  byte4 = static_cast<uint8_t>((level & 0x7F) + (replyWanted ? 0x80 : 0));
  return true;
}

namespace {
constexpr uint8_t kSubCodes[] = {0x98, 0x94, 0x92, 0x81, 0x91};  // C, L, R, LT, RT
}

bool MotorSubCode(int cueKind, uint8_t& subCode) {
  if (cueKind < kFirstMotorKind || cueKind > kLastMotorKind) return false;
  subCode = kSubCodes[cueKind - kFirstMotorKind];
  return true;
}

int MotorKindOfSubCode(uint8_t subCode) {
  for (int i = 0; i < 5; ++i)
    if (kSubCodes[i] == subCode) return kFirstMotorKind + i;
  return 0;
}

bool MotorKindHasTwoParams(int cueKind) { return cueKind == 53 || cueKind == 54; }

bool MotorKindIsRelative(int cueKind) { return cueKind > kFirstMotorKind && cueKind <= kLastMotorKind; }

bool ParamByte(int param, uint8_t& byte) {
  if (param < 0 || param > 255) return false;
  byte = static_cast<uint8_t>(param);
  return true;
}

std::string MotionName(uint8_t motionCode) {
  switch (motionCode) {
    case 0x98:
      return "C";
    case 0x94:
      return "L";
    case 0x92:
      return "R";
    case 0x81:
      return "LT";
    case 0x91:
      return "RT";
    default:
      return "?";
  }
}

}  // namespace fd::bus::codec
