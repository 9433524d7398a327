#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/cue_record.h"

namespace fd::platform {
class Platform;
}
namespace fd::devices {
class TControls;
}

namespace fd::show {

// How a load ended.
enum class LoadStatus {
  Loaded,      // the list holds every cue of the file
  OpenFailed,  // the file could not be opened; Message is the file error ("File not found")
  LineError,   // a line is not a cue (or reading failed there); Line names it, Message is the
               // text the operator was shown
};

struct LoadResult {
  LoadStatus Status = LoadStatus::Loaded;
  int Line = 0;  // 1-based, counting empty lines; LineError only
  std::string Message;

  bool Ok() const { return Status == LoadStatus::Loaded; }
};

// The scenario: every cue of one file, sorted by time, or nothing.
class TProjectList {
 public:
  // A line error is shown to the operator through the platform's message box; without a platform
  // the caller reports it from the result.
  TProjectList() = default;
  explicit TProjectList(platform::Platform& platform) : platform_(&platform) {}

  // Replaces the contents with the cues of the file (Windows-1251, LF or CR LF). On any failure
  // the list is empty and FileName() is empty.
  LoadResult LoadFromFile(const std::string& path);

  void Clear();
  int Count() const { return static_cast<int>(cues_.size()); }
  // Bounds-checked: an index outside 0..Count()-1 throws std::out_of_range.
  const devices::CueRecord& Items(int index) const;
  void SetItem(int index, const devices::CueRecord& cue);
  // TimeMs of the last cue, 0 when the list is empty.
  int32_t LastTime() const;
  // Stable: cues with equal times keep their file order.
  void SortByTime();
  // The loaded file's name without its folder; empty when nothing is loaded.
  const std::string& FileName() const { return fileName_; }

  // Rebuilds every registered console's ChannelUsed table from the channel cues.
  void MarkUsedChannels(devices::TControls& controls) const;

  // The cues themselves, for the scenario writer and verifier (which sort them again).
  std::vector<devices::CueRecord>& Cues() { return cues_; }
  const std::vector<devices::CueRecord>& Cues() const { return cues_; }

 private:
  LoadResult FailAtLine(int line);
  // Appends the cues of the file's lines; false at the first line that is not a cue or cannot be
  // read, with lineNumber naming it.
  bool ReadCues(int fd, std::string& buffer, int& lineNumber);

  platform::Platform* platform_ = nullptr;
  std::vector<devices::CueRecord> cues_;
  std::string fileName_;
};

// "Ошибка загрузки сценария (строка: 12)."
std::string LoadErrorText(int line);

}  // namespace fd::show
