#include "app/operating_mode.h"

namespace fd::app {

uint8_t OperatingMode = omWait;

}  // namespace fd::app
