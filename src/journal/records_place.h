#pragma once

#include <functional>
#include <string>

namespace fd::journal {

// The records folder: the run log goes into its logs/, the show journals into its journal/.
// Beside the program when that folder can be written (a copy run from its own folder); otherwise
// the user's state folder, since a packaged program in /usr/bin cannot write beside itself.
struct RecordsPlace {
  std::string Folder;     // with its trailing "/"
  bool BesideProgram = false;
  bool Writable = false;  // false: neither folder can be written (the window says so once)
};

// True when files can be made in the folder (it exists, or can be made, and is writable).
using FolderCheck = std::function<bool(const std::string& folder)>;
bool CanWriteFolder(const std::string& folder);

// "$XDG_STATE_HOME/firnadesk/", by default "$HOME/.local/state/firnadesk/"; a relative
// XDG_STATE_HOME is ignored, as the base directory rules say. Empty when neither is set.
std::string StateFolder(const char* xdgStateHome, const char* home);
// The same from this process's environment.
std::string StateFolder();

RecordsPlace ChooseRecordsPlace(const std::string& programFolder, const std::string& stateFolder,
                                const FolderCheck& canWrite = CanWriteFolder);

// The journal folder of a records folder, or the one --journal-dir names, with a trailing "/".
std::string JournalFolder(const RecordsPlace& place, const std::string& journalDirOption);

}  // namespace fd::journal
