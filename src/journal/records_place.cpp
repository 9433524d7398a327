#include "journal/records_place.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fd::journal {

namespace {

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

bool CanWriteFolder(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return std::filesystem::is_directory(folder, ignored) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string StateFolder(const char* xdgStateHome, const char* home) {
  if (xdgStateHome != nullptr && xdgStateHome[0] == '/') return WithSlash(xdgStateHome) + "firnadesk/";
  if (home != nullptr && home[0] != '\0') return WithSlash(home) + ".local/state/firnadesk/";
  return {};
}

std::string StateFolder() { return StateFolder(std::getenv("XDG_STATE_HOME"), std::getenv("HOME")); }

RecordsPlace ChooseRecordsPlace(const std::string& programFolder, const std::string& stateFolder,
                                const FolderCheck& canWrite) {
  // The program folder is only tested, never made: it is where the program file already is.
  std::error_code ignored;
  if (!programFolder.empty() && std::filesystem::is_directory(programFolder, ignored) && canWrite(programFolder))
    return {WithSlash(programFolder), true, true};
  if (!stateFolder.empty() && canWrite(stateFolder)) return {WithSlash(stateFolder), false, true};
  // Nothing can be written: the names still point beside the program, as they always did, and the
  // writers fail quietly there.
  return {WithSlash(programFolder), true, false};
}

std::string JournalFolder(const RecordsPlace& place, const std::string& journalDirOption) {
  if (!journalDirOption.empty()) return WithSlash(journalDirOption);
  return place.Folder + "journal/";
}

}  // namespace fd::journal
