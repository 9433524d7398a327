#include "devices/controls.h"

#include <utility>

#include "bus/bus_frame.h"
#include "devices/device_factory.h"

namespace fd::devices {

TControls::TControls(bus::TPort& port, platform::Platform& platform)
    : port_(port),
      platform_(platform),
      scanTimer_(platform.CreateTimer()),
      peerAnswerTimer_(platform.CreateTimer()) {
  scanTimer_->SetEnabled(false);
  scanTimer_->OnTimer = [this] { ScanTick(); };
  peerAnswerTimer_->SetEnabled(false);
  peerAnswerTimer_->OnTimer = [this] { SendDuePeerAnswers(); };
  random_.seed(platform.GetClock().TickCount());
}

TControls::~TControls() {
  scanTimer_->SetEnabled(false);
  scanTimer_->OnTimer = nullptr;
  peerAnswerTimer_->SetEnabled(false);
  peerAnswerTimer_->OnTimer = nullptr;
}

void TControls::Wait(uint32_t ms) { platform_.GetClock().Sleep(ms); }

void TControls::Release() {
  if (--holds_ == 0) retired_.clear();
}

bool TControls::Listed(const TCommonDevice* device) const { return IndexOf(device) >= 0; }

int TControls::IndexOf(const TCommonDevice* device) const {
  for (size_t i = 0; i < list_.size(); ++i)
    if (list_[i].get() == device) return static_cast<int>(i);
  return -1;
}

void TControls::Append(std::unique_ptr<TCommonDevice> device) { list_.push_back(std::move(device)); }

void TControls::RemoveAt(int index) {
  if (index < 0 || index >= Count()) return;
  retired_.push_back(std::move(list_[static_cast<size_t>(index)]));
  list_.erase(list_.begin() + index);
  if (holds_ == 0) retired_.clear();
}

TCommonDevice* TControls::Register(int id, int converter) {
  Hold hold(*this);
  TCommonDevice* device = FindByID(id);
  if (device == nullptr) {
    std::unique_ptr<TCommonDevice> created;
    if (id == bus::kRemoteControlAddress) {
      created = CreateDevice(DeviceClass::Remote, port_, platform_, id);
    } else if (IsConsoleAddress(id)) {
      const KindDecision decision = DecideConsoleKind(port_, id, converter);
      created = CreateDevice(decision.Class, port_, platform_, id);
      if (created) created->RepeatMode = decision.RepeatMode;
    } else if (IsRadioAddress(id)) {
      created = CreateDevice(DeviceClass::Radio, port_, platform_, id);
    }
    if (created) {
      device = created.get();
      Append(std::move(created));
      Wait(100);
    }
  }
  if (device == nullptr) return nullptr;

  device->Converter = converter;
  Wait(100);
  device->UpdateInfo();
  Wait(100);
  device->Poll();
  Wait(100);
  if (auto handler = OnChange) handler(id);
  return Listed(device) ? device : nullptr;
}

TCommonDevice* TControls::FindByID(int id) const {
  for (const auto& device : list_)
    if (device->ID == id) return device.get();
  return nullptr;
}

TSoftControl* TControls::FindSoft(int peerNumber) const {
  for (const auto& device : list_) {
    if (device->ID != bus::kPeerAddress) continue;
    auto* soft = dynamic_cast<TSoftControl*>(device.get());
    if (soft != nullptr && soft->PeerNumber == peerNumber) return soft;
  }
  return nullptr;
}

TSoftControl* TControls::RegisterSoft(int peerNumber, int converter) {
  Hold hold(*this);
  TSoftControl* soft = FindSoft(peerNumber);
  if (soft == nullptr) {
    auto created = std::make_unique<TSoftControl>(port_, platform_, peerNumber);
    soft = created.get();
    Append(std::move(created));
  }
  soft->Stale = false;
  soft->Converter = converter;
  Wait(5);
  soft->UpdateInfo();
  Wait(5);
  soft->Poll();
  Wait(5);
  if (auto handler = OnChange) handler(bus::kPeerAddress);
  return Listed(soft) ? soft : nullptr;
}

int TControls::SoftCount() const {
  int count = 0;
  for (const auto& device : list_)
    if (device->ID == bus::kPeerAddress) ++count;
  return count;
}

TSoftControl* TControls::SoftByOrdinal(int n) const {
  if (n < 0) return nullptr;
  int seen = 0;
  for (const auto& device : list_) {
    if (device->ID != bus::kPeerAddress) continue;
    if (seen++ == n) return dynamic_cast<TSoftControl*>(device.get());
  }
  return nullptr;
}

int TControls::ConsoleCount() const {
  int count = 0;
  for (const auto& device : list_)
    if (IsConsoleAddress(device->ID)) ++count;
  return count;
}

int TControls::FirstConsole() const {
  for (int i = 0; i < Count(); ++i)
    if (IsConsoleAddress(list_[static_cast<size_t>(i)]->ID)) return i;
  return -1;
}

int TControls::LastConsole() const {
  for (int i = Count() - 1; i >= 0; --i)
    if (IsConsoleAddress(list_[static_cast<size_t>(i)]->ID)) return i;
  return -1;
}

TCommonDevice* TControls::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return list_[static_cast<size_t>(index)].get();
}

void TControls::SortByID() {
  // Neighbours swap only when the later one is strictly smaller, so equal IDs keep their order.
  for (size_t n = list_.size(); n > 1; --n) {
    for (size_t i = 0; i + 1 < n; ++i) {
      if (list_[i + 1]->ID < list_[i]->ID) std::swap(list_[i], list_[i + 1]);
    }
  }
}

}  // namespace fd::devices
