#pragma once

#include <functional>

namespace fd::platform {
class Platform;
}

namespace fd::devices {

class TCommonControl;
class TControls;

// The channel test of one console or of every console, as the window and the command line run it:
// each channel measured in turn, the outcome recorded in the console's tables, and pending events
// handled after every channel so that the view repaints and a stop key can end the test.
class ChannelTestRun {
 public:
  ChannelTestRun(TControls& controls, platform::Platform& platform) : controls_(controls), platform_(platform) {}

  // Redraws the view: after the tables were cleared and after every channel.
  std::function<void()> OnChannel;
  // Set by the operator's stop (from inside the events handled between channels, or from
  // OnChannel); the channel being measured is finished, the rest are skipped.
  bool TestStop = false;

  // Tests the console at registry index `index`. True when it ran to the end, false when stopped
  // (or when the index is not a console). Logs "Тестирование устройства, ID=<id>".
  bool TestConsoleAt(int index);

  // Tests every console in registry order from the first console on. `current` follows the
  // console under test (the window's CurrentControl) and ends on the first console again. True
  // when every console ran to the end.
  bool TestAll(int& current);

 private:
  TControls& controls_;
  platform::Platform& platform_;
};

}  // namespace fd::devices
