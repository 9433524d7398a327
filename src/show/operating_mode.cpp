#include "show/operating_mode.h"

namespace fd::show {

uint8_t OperatingMode = omWait;

}  // namespace fd::show
