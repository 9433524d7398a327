// Scenario records in console memory: writing (0x91) and reading back (0x92).
#include "bus/tport.h"
#include "bus/tport_codec.h"

namespace fd::bus {

namespace {

constexpr uint8_t kWriteRecord = 0x91;
constexpr uint8_t kReadRecord = 0x92;
constexpr uint32_t kAfterUnansweredWritePauseMs = 70;

bool SameData(const Frame6& a, const Frame6& b) {
  for (int i = 1; i <= 4; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

int TPort::WriteRecordNoReply(int address, int channel, int timeMs, int converter) {
  uint8_t data[4];
  if (!codec::RecordData(channel, timeMs, false, data)) return kBusRefused;
  const int r = Send6(address, kWriteRecord, data[0], data[1], data[2], data[3], converter);
  // Older consoles need the time to store the record before the next frame.
  Pause(kAfterUnansweredWritePauseMs);
  return r;
}

int TPort::WriteRecord(int address, int channel, int timeMs, int repeatMode, int converter) {
  uint8_t a, data[4];
  if (!codec::AddressByte(address, a) || !codec::RecordData(channel, timeMs, true, data)) return kBusRefused;
  const Frame6 request{kWriteRecord, data[0], data[1], data[2], data[3], a};
  Frame6 reply{};
  const int r = Exchange(request, 0x6E, repeatMode, converter, reply);
  if (r != kBusOk) return r;
  return SameData(request, reply) ? kBusOk : kBusMismatch;
}

int TPort::WriteMotorRecord(int address, int timeMs, int cueKind, int param1, int param2, int repeatMode,
                            int converter) {
  uint8_t a, high, low, sub, p1, p2;
  // Only motion cues have a record group; any other kind is refused with -1 before anything is sent.
  if (!codec::AddressByte(address, a) || !codec::CoarseTime(timeMs, high, low) || !codec::MotorSubCode(cueKind, sub) ||
      !codec::ParamByte(param1, p1) || !codec::ParamByte(param2, p2))
    return kBusRefused;
  const bool two = codec::MotorKindHasTwoParams(cueKind);
  const uint8_t values[3] = {two ? p2 : p1, two ? p1 : uint8_t{0}, sub};
  int r = kBusOk;
  for (uint8_t k = 0; k < 3 && r == kBusOk; ++k) {
    const Frame6 request{kWriteRecord, high, low, values[k], k, a};
    Frame6 reply{};
    r = Exchange(request, 0x6E, repeatMode, converter, reply);
    if (r == kBusOk && !SameData(request, reply)) r = kBusMismatch;
  }
  return r;
}

int TPort::ReadRecordSlot(int address, int wireNumber, int repeatMode, int converter, Frame6& reply) {
  if (wireNumber < 0 || wireNumber > 0xFFFF) return kBusRefused;
  return Exchange6(address, kReadRecord, 0x00, 0x00, static_cast<uint8_t>(wireNumber & 0xFF),
                   static_cast<uint8_t>(wireNumber >> 8), repeatMode, converter, reply);
}

int TPort::ReadRecordTime(int address, int channel, int repeatMode, int converter, int& timeMs) {
  uint8_t byte3, bit8;
  if (!codec::Channel9(channel, byte3, bit8)) return kBusRefused;
  Frame6 reply{};
  const int r = ReadRecordSlot(address, channel + 1, repeatMode, converter, reply);
  if (r == kBusOk) timeMs = codec::RecordTime(reply, false);
  return r;
}

int TPort::ReadRecord(int address, int slot, int repeatMode, int converter, int& timeMs, int& channel) {
  if (slot < 0) return kBusRefused;
  Frame6 reply{};
  const int r = ReadRecordSlot(address, slot + 1, repeatMode, converter, reply);
  if (r == kBusOk) {
    timeMs = codec::RecordTime(reply, false);
    channel = codec::RecordChannelIndex(reply);
  }
  return r;
}

int TPort::ReadRecordFine(int address, int slot, int repeatMode, int converter, int& timeMs, int& channel) {
  if (slot < 0) return kBusRefused;
  Frame6 reply{};
  const int r = ReadRecordSlot(address, slot + 1, repeatMode, converter, reply);
  if (r == kBusOk) {
    timeMs = codec::RecordTime(reply, true);
    channel = codec::RecordChannelIndex(reply);
  }
  return r;
}

int TPort::ReadMotorRecord(int address, int cueNumber, int repeatMode, int converter, int& timeMs, int& cueKind,
                           int& param1, int& param2) {
  if (cueNumber < 0 || 3 * cueNumber + 3 > 0xFFFF) return kBusRefused;
  Frame6 replies[3]{};
  int r = kBusOk;
  for (int k = 0; k < 3 && r == kBusOk; ++k)
    r = ReadRecordSlot(address, 3 * cueNumber + k + 1, repeatMode, converter, replies[k]);
  if (r != kBusOk) return r;
  // The three records of one cue carry the same time.
  for (int k = 1; k < 3; ++k)
    if (replies[k][1] != replies[0][1] || replies[k][2] != replies[0][2]) return kBusGroupDisagrees;
  // A group whose last record names no motion command (memory never written there, or left from
  // a shorter scenario) was read fine but holds no motor cue: it comes back as kind 0 with no
  // parameters, never with the kind of an earlier call, so that the caller sees a difference.
  const int kind = codec::MotorKindOfSubCode(replies[2][3]);
  timeMs = (replies[0][1] * 256 + replies[0][2]) * 100;
  cueKind = kind;
  if (kind == 0) {
    param1 = 0;
    param2 = 0;
  } else if (codec::MotorKindHasTwoParams(kind)) {
    param1 = replies[1][3];
    param2 = replies[0][3];
  } else {
    param1 = replies[0][3];
    param2 = 0;
  }
  return kBusOk;
}

}  // namespace fd::bus
