#pragma once

#include <string>

namespace fd::cli {

// Writes bytes to path whole or not at all: into a new file beside it that then takes its name,
// so a failed write never leaves half a file (or spoils the one that was there). False with error.
bool WriteFileWhole(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace fd::cli
