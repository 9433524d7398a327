#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bus/converter_driver.h"

namespace fd::bus {

class TUSBPortFT;

// One listed converter.
struct ConverterInfo {
  std::string SerialNumber;  // at most 255 characters
  std::string Description;   // at most 255 characters
  FT_HANDLE Handle = 0;      // set by OpenAll; 0 until then
  // The driver's index of this converter. It equals the list index unless a converter before it
  // was left out; opening goes by this index so that a left-out converter is never opened in
  // the place of a listed one.
  uint32_t DeviceIndex = 0;
};

// The converters present, in the driver's list order. Owned by a TUSBPortFT, whose lock and converter limit it uses.
class TUSBDevices {
 public:
  explicit TUSBDevices(TUSBPortFT& owner) : owner_(owner) {}
  TUSBDevices(const TUSBDevices&) = delete;
  TUSBDevices& operator=(const TUSBDevices&) = delete;

  // Lists the converters again under the owner's lock: at most the owner's MaxDevices of them,
  // leaving out any whose serial number or description cannot be read.
  void Refresh();
  void Clear() { items_.clear(); }

  int Count() const { return static_cast<int>(items_.size()); }
  // nullptr when index is out of range.
  ConverterInfo* Item(int index);
  const ConverterInfo* Item(int index) const;

  static constexpr size_t kMaxTextLength = 255;

 private:
  TUSBPortFT& owner_;
  std::vector<std::unique_ptr<ConverterInfo>> items_;
};

// Cuts a text to at most maxBytes without splitting a UTF-8 character.
std::string CutText(const std::string& text, size_t maxBytes);

}  // namespace fd::bus
