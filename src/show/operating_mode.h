#pragma once

#include <cstdint>

namespace fd::show {

// The console's operating mode: waiting, ready to launch, launch (the show runs). Written by the
// main window; the show player reports it to peers that ask for our state.
enum : uint8_t { omWait = 0, omReady = 1, omLaunch = 2 };

extern uint8_t OperatingMode;

}  // namespace fd::show
