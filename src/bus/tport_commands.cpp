// Commands addressed to one console or device: status, measuring, firing, motion, identification.
#include <string>

#include "bus/tport.h"
#include "bus/tport_codec.h"
#include "support/numbers.h"

namespace fd::bus {

namespace {

constexpr uint32_t kIdentifyPairPauseMs = 50;
constexpr uint32_t kAfterCountPauseMs = 200;

bool RepliesOk(const Frame6& reply) { return reply[1] == 'O' && reply[2] == 'k'; }
int Word(uint8_t high, uint8_t low) { return high * 256 + low; }

// Two characters as a decimal number: leading blanks and a sign are allowed, anything else gives 0.
int TwoCharNumber(uint8_t a, uint8_t b) {
  const char text[2] = {static_cast<char>(a), static_cast<char>(b)};
  int i = 0;
  while (i < 2 && text[i] == ' ') ++i;
  bool negative = false;
  if (i < 2 && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == 2) return 0;
  int value = 0;
  for (; i < 2; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace

int TPort::Send6(int address, uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4, int converter) {
  uint8_t a;
  if (!codec::AddressByte(address, a)) return kBusRefused;
  return SendFrame(Frame6{code, d1, d2, d3, d4, a}, converter);
}

int TPort::Exchange6(int address, uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4, int repeatMode,
                     int converter, Frame6& reply) {
  uint8_t a;
  if (!codec::AddressByte(address, a)) return kBusRefused;
  return Exchange(Frame6{code, d1, d2, d3, d4, a}, static_cast<uint8_t>(~code), repeatMode, converter, reply);
}

int TPort::ReadVersion(int address, int repeatMode, int converter, int& version) {
  Frame6 reply{};
  const int r = Exchange6(address, 0x80, 0x00, 0x01, 0x02, 0x03, repeatMode, converter, reply);
  if (r == kBusOk) {
    const std::string digits{static_cast<char>(reply[2]), static_cast<char>(reply[3]), static_cast<char>(reply[4])};
    version = static_cast<int>(support::HexValue(digits));
  }
  return r;
}

int TPort::ReadHVParameter(int address, int repeatMode, int converter, int& value) {
  Frame6 reply{};
  const int r = Exchange6(address, 0x82, 0x01, 0xFD, 0x00, 0x00, repeatMode, converter, reply);
  if (r == kBusOk) value = reply[3];
  return r;
}

int TPort::MeasureChannel(int address, int channel, int repeatMode, int converter, double& value) {
  uint8_t low, high;
  if (!codec::Channel16(channel, low, high)) return kBusRefused;
  Frame6 reply{};
  const int r = Exchange6(address, 0x83, low, high, 0x00, 0x00, repeatMode, converter, reply);
  if (r == kBusOk) value = Word(reply[3], reply[4]) / 1000.0;
  return r;
}

int TPort::FireFrame(const Frame6& frame, bool replyWanted, int repeatMode, int converter, Frame6& reply) {
  if (replyWanted) return Exchange(frame, 0x7B, repeatMode, converter, reply);
  if (repeatMode == -1) return SendFrame(frame, converter);
  // Without a reply the only safeguard against a lost frame is saying it three times.
  int r = kBusOk;
  for (int i = 0; i < 3; ++i) r = SendFrame(frame, converter);
  return r;
}

int TPort::FireChannel(int address, int channel, bool replyWanted, int repeatMode, int converter, double& value) {
  value = -1.0;
  uint8_t a, low, high;
  if (!codec::AddressByte(address, a) || !codec::Channel16(channel, low, high)) return kBusRefused;
  const Frame6 frame{0x84, low, high, 0x80, static_cast<uint8_t>(replyWanted ? 0x80 : 0x00), a};
  Frame6 reply{};
  const int r = FireFrame(frame, replyWanted, repeatMode, converter, reply);
  if (replyWanted && r == kBusOk) value = Word(reply[3] & 0x7F, reply[4]) / 1000.0;
  return r;
}

int TPort::FireChannelLevel(int address, int channel, int level, bool replyWanted, int repeatMode, int converter) {
  uint8_t a, low, high, b3, b4;
  if (!codec::AddressByte(address, a) || !codec::Channel16(channel, low, high) ||
      !codec::LevelBytes(level, replyWanted, b3, b4))
    return kBusRefused;
  Frame6 reply{};
  return FireFrame(Frame6{0x84, low, high, b3, b4, a}, replyWanted, repeatMode, converter, reply);
}

int TPort::SetLevel(int address, int level, int repeatMode, int converter) {
  uint8_t b3, b4;
  if (!codec::LevelBytes(level, true, b3, b4)) return kBusRefused;
  Frame6 reply{};
  return Exchange6(address, 0x84, 0x00, 0x00, b3, b4, repeatMode, converter, reply);
}

int TPort::ReadStatus(int address, int repeatMode, int converter, double& value1, double& value2, uint8_t& statusBit) {
  value1 = 0;
  value2 = 0;
  statusBit = 2;  // not reported
  Frame6 reply{};
  const int r = Exchange6(address, 0x85, 0, 0, 0, 0, repeatMode, converter, reply);
  if (r == kBusOk) {
    value1 = Word(reply[1] & 0x7F, reply[2]) / 1000.0;
    value2 = Word(reply[3], reply[4]) / 1000.0;
    statusBit = reply[1] >> 7;
  }
  return r;
}

int TPort::ReadHVStatus(int address, int repeatMode, int converter, double& value1, double& value2,
                        uint8_t& statusBit) {
  value1 = 0;
  value2 = 0;
  statusBit = 2;
  Frame6 reply{};
  const int r = Exchange6(address, 0x85, 0, 0, 0, 0, repeatMode, converter, reply);
  if (r == kBusOk) {
    // High-voltage consoles use all 16 bits for the voltage; the top bit doubles as the status bit.
    value1 = Word(reply[1], reply[2]) / 10.0;
    value2 = Word(reply[3], reply[4]) / 1000.0;
    statusBit = reply[1] >> 7;
  }
  return r;
}

int TPort::HVStop(int address, int repeatMode, int converter) {
  uint8_t a;
  if (!codec::AddressByte(address, a)) return kBusRefused;
  const Frame6 request{0x88, 0x01, 0x00, 0x01, 0x00, a};
  std::lock_guard lock(portLock_);
  const uint64_t taken = framesTaken_;
  Frame6 reply{};
  const int r = Exchange(request, static_cast<uint8_t>(~0x88), repeatMode, converter, reply);
  // A console that does not answer has still been told; one the frame never reached has not.
  if (framesTaken_ == taken) KeepUndelivered(request, converter);
  return r;
}

int TPort::ReadTypeLetter(int address, int repeatMode, int converter, int& timeMs, char& letter) {
  Frame6 reply{};
  const int r = Exchange6(address, 0x89, 0, 0, 0, 0, repeatMode, converter, reply);
  if (r == kBusOk) {
    timeMs = Word(reply[1], reply[2]) * 100;
    letter = static_cast<char>(reply[3]);
  }
  return r;
}

int TPort::MotorCommand(int address, int cueKind, int param1, int param2, int repeatMode, int converter) {
  uint8_t sub, p1, p2;
  // Only the five motion commands have a frame; anything else would move the motor unasked.
  if (!codec::MotorSubCode(cueKind, sub) || !codec::ParamByte(param1, p1) || !codec::ParamByte(param2, p2))
    return kBusRefused;
  const bool two = codec::MotorKindHasTwoParams(cueKind);
  const uint8_t x = two ? p2 : p1;
  const uint8_t y = two ? p1 : 0;
  // A turn by an amount or for a time is not safe to say twice: a console that turned but whose
  // answer was lost on the way back would turn again on the repeat, and the launcher would point
  // elsewhere for the rest of the show. Those go out once, whatever the console's repeat mode; the
  // caller learns from the result that the motion is unconfirmed. The centre is a place: saying it
  // twice ends in the same place, so it keeps the repeat like every other command.
  const int repeat = codec::MotorKindIsRelative(cueKind) ? -1 : repeatMode;
  Frame6 reply{};
  return Exchange6(address, 0x8C, sub, x, y, 0x00, repeat, converter, reply);
}

int TPort::ReadReading(int address, int repeatMode, int converter, double& reading) {
  reading = 0;
  uint8_t a;
  if (!codec::AddressByte(address, a)) return kBusRefused;
  Frame6 reply{};
  // The reading comes back under the version reply code.
  const int r = Exchange(Frame6{0x8D, 0, 0, 0, 0, a}, 0x7F, repeatMode, converter, reply);
  if (r == kBusOk) {
    const int value = TwoCharNumber(reply[2], reply[3]);
    reading = reply[1] == '-' ? -value : value;
  }
  return r;
}

int TPort::ReadChannelCount(int address, int repeatMode, int converter, int& count) {
  Frame6 reply{};
  const int r = Exchange6(address, 0x8F, 0x01, 0x02, 0x03, 0x04, repeatMode, converter, reply);
  if (r == kBusOk) {
    count = RepliesOk(reply) ? Word(reply[3], reply[4]) : 0;
    Pause(kAfterCountPauseMs);
  }
  return r;
}

int TPort::CheckAlive(int address, int converter) {
  Frame6 reply{};
  const int r = Exchange6(address, 0x8F, 0x01, 0x02, 0x03, 0x04, -1, converter, reply);
  Pause(kAfterCountPauseMs);
  return r;
}

int TPort::Identify(int address, int converter, int& count, int& confirmation) {
  // The console follows its answer with a loose byte pair; the background reader must leave it in
  // the converter for us.
  const bool polling = Polling.exchange(false);
  count = 0;
  confirmation = -1;
  Frame6 reply{};
  const int r = Exchange6(address, 0x8F, 0x01, 0x02, 0x03, 0x04, -1, converter, reply);
  if (r == kBusOk) {
    if (RepliesOk(reply)) count = Word(reply[3], reply[4]);
    Pause(kIdentifyPairPauseMs);
    uint8_t pair[2] = {0, 0};
    int got;
    {
      std::lock_guard lock(portLock_);
      int from = converter;
      got = ReadFromPort(pair, 2, from);
    }
    if (got == 2 && pair[1] == static_cast<uint8_t>(~pair[0])) confirmation = pair[0];
    Pause(kAfterCountPauseMs);
  }
  Polling = polling;
  return r;
}

}  // namespace fd::bus
