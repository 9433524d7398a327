// The registry's bus search: the address sweep, the peer protocol, and frames heard on the bus.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "bus/bus_frame.h"
#include "devices/controls.h"
#include "devices/device_factory.h"
#include "support/numbers.h"
#include "support/version_text.h"

namespace fd::devices {

namespace {

constexpr uint8_t kIdentifyAnswer = 0x70;
constexpr uint8_t kPeerQuery = 0x01;
constexpr uint8_t kPeerAnswer = 0x02;
constexpr uint8_t kVersionRequest = 0x80;
constexpr uint8_t kVersionReply = 0x7F;
constexpr int kSweepStart = bus::kFirstRadioAddress;  // radio modules and peers are seen first
// Other programs answer the peer sweep each after its own random pause of 0..149 ms; an answer
// takes 4 ms on the wire.
constexpr uint32_t kPeerAnswerPeriodMs = 155;

}  // namespace

void TControls::SetSearchMode(TSearchMode mode) {
  searchMode_ = mode;
  ++searchGeneration_;
  if (mode & smSweep) {
    for (const auto& device : list_) {
      if (auto* soft = dynamic_cast<TSoftControl*>(device.get())) soft->Stale = true;
    }
    scanAddress_ = kSweepStart;
    // Re-enabling restarts the interval from now.
    scanTimer_->SetEnabled(false);
    scanTimer_->SetInterval(port_.ReplyTimeout.load());
    scanTimer_->SetEnabled(true);
  } else {
    scanTimer_->SetEnabled(false);
  }
}

void TControls::DropStalePeers() {
  // Peers that stayed silent for a whole pass leave quietly; the others must answer again.
  for (int i = Count() - 1; i >= 0; --i) {
    auto* soft = dynamic_cast<TSoftControl*>(list_[static_cast<size_t>(i)].get());
    if (soft != nullptr && soft->Stale) RemoveAt(i);
  }
  for (const auto& device : list_) {
    if (auto* soft = dynamic_cast<TSoftControl*>(device.get())) soft->Stale = true;
  }
}

void TControls::ScanTick() {
  // A handler that lets pending events run inside a step must not start another step.
  if (inScanTick_) return;
  struct Guard {
    bool& flag;
    explicit Guard(bool& f) : flag(f) { flag = true; }
    ~Guard() { flag = false; }
  } guard(inScanTick_);
  Hold hold(*this);

  const uint32_t generation = searchGeneration_;
  const int address = scanAddress_;
  if (address == bus::kPeerAddress) {
    DropStalePeers();
    // The probes that follow end as soon as their reply windows close, so the next two would fall
    // into the answers: the bus is left to the peers until they are through, and every answer
    // heard is kept for the engine loop, however close the answers come.
    if (port_.SendPeerSweep() == bus::kBusOk) port_.CollectFor(kPeerAnswerPeriodMs);
  } else {
    ProbeAddress(address);
  }

  // A handler that restarted or ended the search has set the sweep already.
  if (generation != searchGeneration_) return;
  if (auto handler = OnSearchProgress) {
    handler(static_cast<int>(support::RoundHalfAway(static_cast<long double>(address) / 255 * 100)), address);
    if (generation != searchGeneration_) return;
  }
  scanAddress_ = (address + 1) % 256;
}

bool TControls::ProbeAddress(int address) {
  if (address < 0 || address >= bus::kPeerAddress) return false;
  Hold hold(*this);
  const bus::Frame6 probe{kVersionRequest, 0x00, 0x01, 0x02, 0x03, static_cast<uint8_t>(address)};
  int converter = -1;
  bus::Frame6 reply{};
  if (port_.ExchangeAny(probe, kVersionReply, converter, reply) == bus::kBusOk) {
    Register(address, converter);
    return true;
  }
  if (TCommonDevice* gone = FindByID(address)) {
    RemoveAt(IndexOf(gone));
    if (auto handler = OnChange) handler(address);
  }
  return false;
}

int TControls::SearchListed(const std::vector<int>& consoles, const std::function<bool()>& stop) {
  std::vector<int> addresses;
  for (int a = bus::kFirstRadioAddress; a <= bus::kLastRadioAddress; ++a) addresses.push_back(a);
  addresses.push_back(bus::kRemoteControlAddress);
  std::vector<int> listed;
  for (int id : consoles)
    if (IsConsoleAddress(id)) listed.push_back(id);
  std::sort(listed.begin(), listed.end());
  listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
  addresses.insert(addresses.end(), listed.begin(), listed.end());

  int answered = 0;
  for (int address : addresses) {
    if (stop && stop()) break;
    if (ProbeAddress(address)) ++answered;
  }
  return answered;
}

void TControls::HandleFrame(const bus::Frame6& frame, int converter) {
  const int code = frame[0];
  const int address = frame[5];
  if (code == kIdentifyAnswer && IsConsoleAddress(address)) {
    if (searchMode_ & smRegister) Register(address, converter);
  } else if (address == bus::kPeerAddress && code == kPeerQuery) {
    // Answered whether or not a search runs; a query naming another program is not ours.
    if (frame[4] != 0 && frame[4] != bus::InstanceNumber()) return;
    // Every program answers a general query after its own random pause, so that the answers
    // rarely collide on the bus. The pause runs on a timer: a show plays on meanwhile.
    const uint32_t pause = std::uniform_int_distribution<uint32_t>(0, 149)(random_);
    peerAnswers_.push_back({platform_.GetClock().TickCount() + pause, frame[3]});
    ArmPeerAnswerTimer();
  } else if (address == bus::kPeerAddress && code == kPeerAnswer) {
    if (searchMode_ & smRegister) RegisterSoft(frame[3], converter);
  }
}

}  // namespace fd::devices

namespace fd::devices {

void TControls::SendDuePeerAnswers() {
  const uint32_t now = platform_.GetClock().TickCount();
  // Taken out before sending: a send may run the engine, which may bring another query.
  std::vector<PeerAnswerDue> due;
  std::erase_if(peerAnswers_, [&](const PeerAnswerDue& a) {
    if (static_cast<int32_t>(now - a.dueTick) < 0) return false;
    due.push_back(a);
    return true;
  });
  for (const PeerAnswerDue& a : due) port_.SendPeerAnswer(support::ProgramMajorVersion(), a.asker);
  ArmPeerAnswerTimer();
}

void TControls::ArmPeerAnswerTimer() {
  peerAnswerTimer_->SetEnabled(false);
  if (peerAnswers_.empty()) return;
  const uint32_t now = platform_.GetClock().TickCount();
  int32_t soonest = INT32_MAX;
  for (const PeerAnswerDue& a : peerAnswers_) soonest = std::min(soonest, static_cast<int32_t>(a.dueTick - now));
  // A pause of 0 still waits for the loop: the query's hand-over comes first.
  peerAnswerTimer_->SetInterval(static_cast<uint32_t>(std::max(soonest, 1)));
  peerAnswerTimer_->SetEnabled(true);
}

}  // namespace fd::devices
