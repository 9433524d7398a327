#pragma once

// Where firnadesk-cli finds a program it hands a command to. Installed, the helpers live in the
// package's libexec folder (no user runs them by hand, so they stay out of the PATH); in the build
// tree they sit beside firnadesk-cli.
#include <filesystem>
#include <string>

namespace fd::cli {

struct HelperLookup {
  std::filesystem::path Path;  // empty when the helper is in neither place
  std::string Problem;         // what to tell the operator when Path is empty
};

// The helper `program` for the program whose own folder is `selfFolder`: first in the libexec
// folder of an installation (`helpersFromBin`, relative to the programs' folder), then beside it.
HelperLookup FindHelperProgram(const std::filesystem::path& selfFolder, const std::string& program,
                               const std::filesystem::path& helpersFromBin);

// The libexec folder of this build's installation, relative to its programs' folder.
std::filesystem::path InstalledHelpersFromBin();

}  // namespace fd::cli
