// The version record of the program file. This object goes onto the link line of every program
// that links firnadesk_support, so each carries its own version; nothing refers to the array,
// hence `used`.
#include "support/version_marker.h"

#ifndef FIRNADESK_FILE_VERSION
#error "FIRNADESK_FILE_VERSION must come from the build"
#endif

namespace {

[[gnu::used]] const char kVersionRecord[] = FIRNADESK_VERSION_MARKER FIRNADESK_FILE_VERSION;

}  // namespace
