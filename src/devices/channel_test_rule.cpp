#include "devices/channel_test_rule.h"

#include "bus/tport.h"
#include "devices/common_control.h"
#include "devices/device_codes.h"

namespace fd::devices {

ChannelTestOutcome ChannelTestRule(int result, double measured, int version) {
  ChannelTestOutcome outcome;
  if (result != bus::kBusOk) {
    outcome.State = kChannelError;
    return outcome;
  }
  if (version >= kVersionScaledTest) {
    outcome.Value = measured * 100;
    outcome.StoreValue = true;
    outcome.State = outcome.Value < 20.0 ? kChannelConnected : kChannelOpen;
  } else {
    outcome.Value = measured;
    outcome.State = measured < 4.0 ? kChannelOpen : kChannelConnected;
  }
  return outcome;
}

int TestAndRecordChannel(TCommonControl& console, int channel) {
  if (!ChannelInTable(channel)) return kOutOfRange;
  double value = 0;
  const int result = console.TestChannel(channel, value);
  const ChannelTestOutcome outcome = ChannelTestRule(result, value, console.Version);
  console.SetChannelState(channel, outcome.State);
  if (outcome.StoreValue) console.SetChannelValue(channel, outcome.Value);
  return result;
}

}  // namespace fd::devices
