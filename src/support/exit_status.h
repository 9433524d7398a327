#pragma once

// Exit statuses shared by the command-line tools (firnadesk-cli, firnadesk-bench).
namespace fd::support {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;      // the operation failed: a device, a difference, a scenario fault
inline constexpr int kExitUsage = 2;        // bad usage, or an input that cannot be read or used
inline constexpr int kExitNoConverter = 3;  // no converter to talk to

}  // namespace fd::support
