#include "bus/usb_devices.h"

#include <mutex>

#include "bus/usb_port_ft.h"

namespace fd::bus {

std::string CutText(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  // Step back over continuation bytes so that the last character stays whole.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

ConverterInfo* TUSBDevices::Item(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[index].get();
}

const ConverterInfo* TUSBDevices::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[index].get();
}

void TUSBDevices::Refresh() {
  std::lock_guard lock(owner_.Lock());
  items_.clear();
  ConverterDriver& driver = owner_.Driver();
  uint32_t count = 0;
  if (driver.ListCount(count) != FT_OK) return;
  for (uint32_t i = 0; i < count; ++i) {
    if (owner_.MaxDevices < 0 || i >= static_cast<uint32_t>(owner_.MaxDevices)) break;
    std::string serial, description;
    if (driver.ListSerialNumber(i, serial) != FT_OK) continue;
    if (driver.ListDescription(i, description) != FT_OK) continue;
    auto info = std::make_unique<ConverterInfo>();
    info->SerialNumber = CutText(serial, kMaxTextLength);
    info->Description = CutText(description, kMaxTextLength);
    info->DeviceIndex = i;
    items_.push_back(std::move(info));
  }
}

}  // namespace fd::bus
