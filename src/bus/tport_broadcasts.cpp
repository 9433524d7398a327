// Broadcasts to every console and the messages between operator programs.
#include "bus/tport.h"
#include "bus/tport_codec.h"

namespace fd::bus {

namespace {

constexpr uint8_t kSync = 0x90;
constexpr uint8_t kAnnounceStart = 0x10;
constexpr uint8_t kAnnounceStop = 0x11;
constexpr uint8_t kPeerQuery = 0x01;
constexpr uint8_t kPeerAnswer = 0x02;
constexpr uint8_t kStateAnswer = 0x04;
constexpr uint8_t kPeers = 0xFF;
constexpr uint32_t kPeerReplyTimeoutMs = 300;

}  // namespace

int TPort::SendToAll(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4, uint8_t address) {
  return SendFrame(Frame6{code, d1, d2, d3, d4, address}, -1);
}

int TPort::SyncRun(int timeMs) {
  uint8_t high, low;
  codec::CoarseTimeClamped(timeMs, high, low);
  return SendToAll(kSync, high, low, 0x80, 0x00, kRemoteControlAddress);
}

int TPort::SyncStop(int timeMs) {
  uint8_t high, low;
  codec::CoarseTimeClamped(timeMs, high, low);
  return SendStop(Frame6{kSync, high, low, 0x00, 0x00, kRemoteControlAddress}, -1);
}

int TPort::AnnounceStart(int timeMs) {
  uint8_t high, low;
  codec::CoarseTimeClamped(timeMs, high, low);
  return SendToAll(kAnnounceStart, high, low, InstanceNumber(), 0x00, kPeers);
}

int TPort::AnnounceStop(int timeMs) {
  uint8_t high, low;
  codec::CoarseTimeClamped(timeMs, high, low);
  return SendStop(Frame6{kAnnounceStop, high, low, InstanceNumber(), 0x00, kPeers}, -1);
}

int TPort::SendPeerSweep() { return SendToAll(kPeerQuery, 0x00, 0x00, InstanceNumber(), 0x00, kPeers); }

int TPort::SendPeerAnswer(int version, int askerNumber) {
  uint8_t v, s;
  if (!codec::ParamByte(version, v) || !codec::ParamByte(askerNumber, s)) return kBusRefused;
  return SendToAll(kPeerAnswer, v, 0x00, InstanceNumber(), s, kPeers);
}

int TPort::SendStateAnswer(int mode, int launchMode, int askerNumber) {
  uint8_t d, s;
  if (mode < 0 || mode > 0x0F || !codec::ParamByte(launchMode, d) || !codec::ParamByte(askerNumber, s))
    return kBusRefused;
  // Operating mode in the low nibble; the secondary mode in the high nibble is always 0 here.
  return SendToAll(kStateAnswer, static_cast<uint8_t>(mode), d, InstanceNumber(), s, kPeers);
}

int TPort::QueryPeer(int peerNumber, int converter, int& version, int& instance) {
  uint8_t s;
  if (!codec::ParamByte(peerNumber, s)) return kBusRefused;
  // Another program answers through its own engine and user-interface thread: give it longer.
  const uint32_t saved = ReplyTimeout.exchange(kPeerReplyTimeoutMs);
  Frame6 reply{};
  const int r =
      Exchange(Frame6{kPeerQuery, 0x00, 0x00, InstanceNumber(), s, kPeers}, kPeerAnswer, -1, converter, reply);
  ReplyTimeout = saved;
  if (r == kBusOk) {
    version = reply[1];
    instance = reply[3];
  }
  return r;
}

}  // namespace fd::bus
