#pragma once

#include <string>

namespace fd::support {

// The file version compiled into a program file ("2.0.0.56"), "0.0.0.0" when it has none.
std::string FileVersionText(const std::string& path);
// The version of the running program's own file.
std::string ProgramVersionText();
// The first dot-separated part of the program's version as a number (0 when it is not one).
int ProgramMajorVersion();

}  // namespace fd::support
