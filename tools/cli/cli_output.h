#pragma once

#include <string>

namespace fd::cli {

// Standard output of a command. A write that fails (a full disk, a closed pipe) is remembered, so
// that the program ends with an error instead of reporting success over a cut report.
void Print(const std::string& text);
// True once a write to standard output has failed.
bool OutputFailed();
// Flushes standard output; on a failure says so on standard error and returns false.
bool FinishOutput();

}  // namespace fd::cli
