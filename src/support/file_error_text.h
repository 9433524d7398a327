#pragma once

#include <string>

namespace fd::support {

// The texts the operator knows from file errors of the desktop runtime, for an errno value:
// "File not found", "Path not found", "File access denied", otherwise "I/O error N".
std::string FileErrorText(int error);

}  // namespace fd::support
