#include "devices/channel_test_run.h"

#include "devices/channel_test_rule.h"
#include "devices/common_control.h"
#include "devices/controls.h"
#include "platform/platform.h"
#include "support/numbers.h"
#include "support/run_log.h"

namespace fd::devices {

bool ChannelTestRun::TestConsoleAt(int index) {
  // The events handled between channels may let the registry drop the console; the hold keeps
  // the object alive until the test lets go of it.
  TControls::Hold hold(controls_);
  auto* console = dynamic_cast<TCommonControl*>(controls_.Items(index));
  if (console == nullptr) return false;
  support::WriteLog("Тестирование устройства, ID=" + support::NumberText(console->ID), 1);
  console->ClearTests();
  if (OnChannel) OnChannel();
  TestStop = false;
  // A console may report more channels than its tables hold; only those are tested.
  const int channels = console->TableChannels();
  for (int channel = 0; channel < channels && !TestStop; ++channel) {
    TestAndRecordChannel(*console, channel);
    if (OnChannel) OnChannel();
    platform_.ProcessPendingEvents();
  }
  return !TestStop;
}

bool ChannelTestRun::TestAll(int& current) {
  bool completed = true;
  if (controls_.Count() > 0) {
    current = controls_.FirstConsole();
    if (OnChannel) OnChannel();
    // No console at all: FirstConsole is -1 and nothing is tested.
    while (current >= 0 && current < controls_.Count()) {
      if (dynamic_cast<TCommonControl*>(controls_.Items(current)) != nullptr) completed = TestConsoleAt(current);
      ++current;
      if (!completed) break;
    }
    current = controls_.FirstConsole();
    if (OnChannel) OnChannel();
  }
  return completed;
}

}  // namespace fd::devices
