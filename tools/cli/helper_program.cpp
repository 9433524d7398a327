#include "helper_program.h"

#include <system_error>

#ifndef FIRNADESK_HELPERS_FROM_BIN
#error "FIRNADESK_HELPERS_FROM_BIN names the libexec folder relative to the programs' folder"
#endif

namespace fd::cli {

namespace {
bool IsRegularFile(const std::filesystem::path& path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(path, ignored);
}
}  // namespace

HelperLookup FindHelperProgram(const std::filesystem::path& selfFolder, const std::string& program,
                               const std::filesystem::path& helpersFromBin) {
  const std::filesystem::path installed = (selfFolder / helpersFromBin / program).lexically_normal();
  if (IsRegularFile(installed)) return {installed, {}};
  const std::filesystem::path beside = selfFolder / program;
  if (IsRegularFile(beside)) return {beside, {}};
  return {{}, "cannot find " + program + " in " + installed.parent_path().string() + " or " + selfFolder.string()};
}

std::filesystem::path InstalledHelpersFromBin() { return FIRNADESK_HELPERS_FROM_BIN; }

}  // namespace fd::cli
