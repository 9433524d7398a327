#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/cue_record.h"

struct stat;

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
  TooLarge,    // the file or one of its lines passed the read limits; Line is the line reached
  OutOfMemory  // the cues did not fit in memory; Line is the line reached, 0 when the file was
               // refused before reading because its cues would not fit
};

// Far above any real show (a million cues take about 20 MB): a file beyond this is refused once it
// passes the limit, without reading the rest. A line beyond the line limit is refused the same way.
inline constexpr uint64_t kMaxScenarioBytes = uint64_t{256} << 20;
inline constexpr uint64_t kMaxScenarioLineBytes = uint64_t{16} << 20;

struct LoadResult {
  LoadStatus Status = LoadStatus::Loaded;
  int Line = 0;  // 1-based, counting empty lines; LineError, TooLarge and OutOfMemory only
  std::string Message;
  // Why the line is not a cue ("the channel \"x\" is not a whole number"), or "it is a directory"
  // for a folder, for the command-line tools; empty otherwise.
  std::string Reason;
  // Set when the bytes look like another encoding than Windows-1251 (a UTF-8 byte-order mark, or
  // text that is valid UTF-8); whether the load succeeded or not.
  std::string EncodingHint;

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

  // What the owner keeps for each cue besides the list (the window's row for it), counted when a
  // file is weighed against the memory left before it is read.
  void SetExtraMemoryPerCue(uint64_t bytes) { extraPerCue_ = bytes; }
  // The memory a file of that many cue lines and bytes takes once loaded, about.
  uint64_t MemoryNeeded(size_t cues, uint64_t fileBytes) const;

  // Lower limits than the defaults, for tests that cannot afford 256 MB.
  void SetReadLimits(uint64_t fileBytes, uint64_t lineBytes) {
    maxBytes_ = fileBytes;
    maxLineBytes_ = lineBytes;
  }

  // Takes cues read from elsewhere (a show-design script) as if a file named fileName had held
  // them: sorted by time, FileName() set.
  void Assign(std::vector<devices::CueRecord> cues, const std::string& fileName);

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
  struct ReadState;
  LoadResult ReadFile(int fd, const struct stat& info, ReadState& state);
  // Empties the list and shows message (the reason goes into the record beside it).
  LoadResult Fail(LoadStatus status, int line, std::string message, std::string reason = {});
  // Appends the cues of the file's lines; false at the first line that is not a cue, cannot be read
  // or passes a limit, with the state naming it.
  bool ReadCues(int fd, std::string& buffer, ReadState& state);

  platform::Platform* platform_ = nullptr;
  std::vector<devices::CueRecord> cues_;
  std::string fileName_;
  uint64_t maxBytes_ = kMaxScenarioBytes;
  uint64_t maxLineBytes_ = kMaxScenarioLineBytes;
  uint64_t extraPerCue_ = 0;
};

// "Ошибка загрузки сценария (строка: 12)."
std::string LoadErrorText(int line);
// The window's texts for a file or a line past the limits and for a file that does not fit in
// memory.
std::string TooLargeText(uint64_t limitBytes);
std::string LineTooLongText(uint64_t limitBytes, int line);
std::string OutOfMemoryText(int line);
// A failed load in one line for the run log: the operator's message with the reason after it
// ("Ошибка загрузки сценария (строка: 4). Line 4: the channel \"x\" is not a whole number.", or
// "Ошибка загрузки сценария: File access denied (it is a pipe, not a regular file)").
std::string LoadFailureRecord(const LoadResult& result);
// A file refused before reading: its cues would need neededBytes, and roomBytes are left.
std::string NoMemoryText(size_t cues, uint64_t neededBytes, uint64_t roomBytes);

}  // namespace fd::show
