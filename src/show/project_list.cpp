#include "show/project_list.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>

#include "devices/common_control.h"
#include "devices/controls.h"
#include "platform/platform.h"
#include "show/scenario_line.h"
#include "show/scenario_line_fault.h"
#include "support/file_error_text.h"
#include "support/file_handle.h"
#include "support/localizer.h"
#include "support/memory_room.h"
#include "support/numbers.h"
#include "support/terminal_text.h"

namespace fd::show {

using support::FileErrorText;

using support::FileHandle;

namespace {

// How many cues the file holds: its lines that are not empty once a CR before the LF is taken
// off, read from the start, the file left at its start again. False when the file cannot be
// rewound (then nothing can be read reliably any more).
bool CountCueLines(int fd, std::string& buffer, size_t& count) {
  count = 0;
  char previous = '\n';
  uint64_t lineBytes = 0;  // of the line being counted, up to its LF
  for (;;) {
    ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    const char* start = buffer.data();
    const char* end = start + got;
    const char* lineStart = start;
    for (const char* p = start; (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))));
         ++p) {
      lineBytes += static_cast<uint64_t>(p - lineStart);
      const char before = p > start ? p[-1] : previous;
      if (lineBytes > 1 || (lineBytes == 1 && before != '\r')) ++count;
      lineBytes = 0;
      lineStart = p + 1;
    }
    lineBytes += static_cast<uint64_t>(end - lineStart);
    previous = end[-1];
  }
  if (lineBytes > 1 || (lineBytes == 1 && previous != '\r')) ++count;  // the last line without a line break
  return ::lseek(fd, 0, SEEK_SET) == 0;
}

// What a file that is no regular file is, for the operator.
std::string NotRegularReason(mode_t mode) {
  if (S_ISFIFO(mode)) return "it is a pipe, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
  if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
  return "it is not a regular file";
}

// A big list is written once from start to end; in 2 MB pages that costs a few hundred page faults
// instead of tens of thousands. Only advice: nothing changes when the system says no.
void AskForLargePages(void* start, size_t bytes) {
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  const auto first = (reinterpret_cast<uintptr_t>(start) + kLargePage - 1) & ~(kLargePage - 1);
  const auto end = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(kLargePage - 1);
  if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string LoadErrorText(int line) {
  return support::LocalText(94, "Ошибка загрузки сценария (строка:") + " " + support::NumberText(line) + ").";
}

std::string TooLargeText(uint64_t limitBytes) {
  return "Файл сценария больше " + std::to_string(limitBytes >> 20) + " МБ.";
}

std::string LineTooLongText(uint64_t limitBytes, int line) {
  return "Строка сценария длиннее " + std::to_string(limitBytes >> 20) + " МБ (строка: " + support::NumberText(line) +
         ").";
}

std::string OutOfMemoryText(int line) {
  return "Недостаточно памяти для загрузки сценария (строка: " + support::NumberText(line) + ").";
}

std::string NoMemoryText(size_t cues, uint64_t neededBytes, uint64_t roomBytes) {
  return "Недостаточно памяти для загрузки сценария: " + std::to_string(cues) + " команд требуют около " +
         std::to_string((neededBytes >> 20) + 1) + " МБ, свободно " + std::to_string(roomBytes >> 20) + " МБ.";
}

std::string LoadFailureRecord(const LoadResult& result) {
  if (result.Status == LoadStatus::OpenFailed)
    return "Ошибка загрузки сценария: " + result.Message + (result.Reason.empty() ? "" : " (" + result.Reason + ")");
  if (result.Reason.empty()) return result.Message;
  return result.Message + " Line " + std::to_string(result.Line) + ": " + result.Reason + ".";
}

uint64_t TProjectList::MemoryNeeded(size_t cues, uint64_t fileBytes) const {
  // Per cue its record, its place in the sort and what its owner keeps besides (the window's row);
  // the texts past the strings' own room are at most the file's bytes, twice over as UTF-8.
  const uint64_t perCue = sizeof(devices::CueRecord) + sizeof(uint32_t) + extraPerCue_;
  return static_cast<uint64_t>(cues) * perCue + 2 * fileBytes;
}

// Where a read stands, and what stopped it.
struct TProjectList::ReadState {
  int lineNumber = 0;
  uint64_t bytes = 0;
  LoadStatus status = LoadStatus::LineError;
  std::string reason;
  std::string encodingHint;
  bool sniffed = false;
};

LoadResult TProjectList::Fail(LoadStatus status, int line, std::string message, std::string reason) {
  Clear();
  LoadResult result;
  result.Status = status;
  result.Line = line;
  result.Message = std::move(message);
  result.Reason = std::move(reason);
  if (platform_) platform_->ShowFailure(result.Message, support::LocalText(91, "Ошибка"), LoadFailureRecord(result));
  return result;
}

LoadResult TProjectList::LoadFromFile(const std::string& path) {
  Clear();

  // Opened without waiting: a named pipe nobody writes to would otherwise hold the caller (the
  // window's thread) in open() for good. Only a regular file is a scenario; what the check lets
  // through is read in the ordinary blocking way.
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (file.Get() < 0) {
    int error = errno;
    // The window's text for the codes it names; the others ("I/O error 36") say what they mean.
    const std::string message = FileErrorText(error);
    const std::string reason = message.rfind("I/O error", 0) == 0 ? support::SystemErrorText(error) : std::string();
    return LoadResult{LoadStatus::OpenFailed, 0, message, reason, {}};
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) {
    int error = errno;
    return LoadResult{LoadStatus::OpenFailed, 0, FileErrorText(error), {}, {}};
  }
  if (S_ISDIR(info.st_mode)) {
    return LoadResult{LoadStatus::OpenFailed, 0, FileErrorText(EISDIR), "it is a directory", {}};
  }
  if (!S_ISREG(info.st_mode))
    return LoadResult{LoadStatus::OpenFailed, 0, FileErrorText(EACCES), NotRegularReason(info.st_mode), {}};
  const int flags = ::fcntl(file.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    int error = errno;
    return LoadResult{LoadStatus::OpenFailed, 0, FileErrorText(error), {}, {}};
  }
  // A file known to be too big is refused before a byte of it is read.
  if (static_cast<uint64_t>(info.st_size) > maxBytes_) return Fail(LoadStatus::TooLarge, 1, TooLargeText(maxBytes_));

  ReadState state;
  LoadResult result;
  try {
    result = ReadFile(file.Get(), info, state);
  } catch (const std::bad_alloc&) {
    result =
        Fail(LoadStatus::OutOfMemory, std::max(state.lineNumber, 1), OutOfMemoryText(std::max(state.lineNumber, 1)));
  } catch (const std::length_error&) {
    result =
        Fail(LoadStatus::OutOfMemory, std::max(state.lineNumber, 1), OutOfMemoryText(std::max(state.lineNumber, 1)));
  }
  if (result.Ok()) fileName_ = BaseName(path);
  result.EncodingHint = state.encodingHint;
  return result;
}

LoadResult TProjectList::ReadFile(int fd, const struct stat& info, ReadState& state) {
  // Lines are cut out of the read buffer in place; only a line that spans two reads is copied.
  static constexpr size_t kChunk = 1 << 20;
  static constexpr size_t kSmallChunk = 64 << 10;
  // A file known to be smaller than 64 KB is read with a buffer of that size instead of a whole
  // chunk, which is allocated and cleared for every load (what a file that grew meanwhile has more
  // is read in further passes as usual).
  const uint64_t fileBytes = static_cast<uint64_t>(info.st_size);
  std::string buffer(fileBytes < kSmallChunk ? kSmallChunk : kChunk, '\0');
  // Room for every cue at once: growing a list of a million cues step by step costs more than
  // reading the file twice, and a list grown by doubling needs up to three times its size while
  // it moves. A file whose cues would not fit in the memory left is refused before they are read:
  // 250 MB of short lines are some 40 million cues, gigabytes once parsed.
  size_t cueLines = 0;
  if (!CountCueLines(fd, buffer, cueLines)) return Fail(LoadStatus::LineError, 1, LoadErrorText(1));
  const uint64_t needed = MemoryNeeded(cueLines, fileBytes);
  const uint64_t room = support::MemoryRoom();
  if (needed > room) return Fail(LoadStatus::OutOfMemory, 0, NoMemoryText(cueLines, needed, room));
  cues_.reserve(cueLines);
  AskForLargePages(cues_.data(), cues_.capacity() * sizeof(devices::CueRecord));
  if (!ReadCues(fd, buffer, state)) {
    if (state.status == LoadStatus::TooLarge)
      return Fail(state.status, state.lineNumber,
                  state.bytes > maxBytes_ ? TooLargeText(maxBytes_) : LineTooLongText(maxLineBytes_, state.lineNumber));
    return Fail(LoadStatus::LineError, state.lineNumber, LoadErrorText(state.lineNumber), state.reason);
  }
  SortByTime();
  return LoadResult{};
}

namespace {

// Scenario files are Windows-1251; a file saved as UTF-8 loads with garbled texts (or times), so
// the first read is looked at for the signs of UTF-8.
std::string EncodingHintOf(std::string_view head) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (head.substr(0, kBom.size()) == kBom)
    return "scenario files are Windows-1251, but this one starts with a UTF-8 byte-order mark";
  size_t sequences = 0;
  for (size_t i = 0; i < head.size();) {
    const unsigned char c = static_cast<unsigned char>(head[i]);
    size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || (length == 2 && c < 0xC2)) return {};
    if (i + length > head.size()) break;  // cut by the end of the read
    for (size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(head[i + k]) & 0xC0) != 0x80) return {};
    if (length > 1) ++sequences;
    i += length;
  }
  if (sequences == 0) return {};
  return "scenario files are Windows-1251, but this one reads as UTF-8 text";
}

}  // namespace

bool TProjectList::ReadCues(int fd, std::string& buffer, ReadState& state) {
  std::string carried;
  int& lineNumber = state.lineNumber;

  auto takeLine = [&](std::string_view line) -> bool {
    ++lineNumber;
    if (line.size() > maxLineBytes_) {
      state.status = LoadStatus::TooLarge;
      return false;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return true;
    // Parsed in place; a line that is no cue leaves nothing behind.
    if (ParseCueLine(line, cues_.emplace_back())) {
      cues_.back().Line = lineNumber;
      return true;
    }
    cues_.pop_back();
    state.reason = CueLineFault(line);
    return false;
  };

  for (;;) {
    ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      ++lineNumber;  // the line being read
      return false;
    }
    if (got == 0) break;
    std::string_view chunk(buffer.data(), static_cast<size_t>(got));
    if (!state.sniffed) {
      state.sniffed = true;
      state.encodingHint = EncodingHintOf(chunk);
    }
    state.bytes += static_cast<uint64_t>(got);
    if (state.bytes > maxBytes_) {
      ++lineNumber;
      state.status = LoadStatus::TooLarge;
      return false;
    }
    for (;;) {
      size_t lf = chunk.find('\n');
      if (lf == std::string_view::npos) {
        // A line that never ends is refused at the limit instead of filling the memory.
        if (carried.size() + chunk.size() > maxLineBytes_) {
          ++lineNumber;
          state.status = LoadStatus::TooLarge;
          return false;
        }
        carried.append(chunk);
        break;
      }
      bool ok;
      if (carried.empty()) {
        ok = takeLine(chunk.substr(0, lf));
      } else {
        carried.append(chunk.substr(0, lf));
        ok = takeLine(carried);
        carried.clear();
      }
      if (!ok) return false;
      chunk.remove_prefix(lf + 1);
    }
  }
  // The last line may end with the file instead of a line break.
  return carried.empty() || takeLine(carried);
}

void TProjectList::Assign(std::vector<devices::CueRecord> cues, const std::string& fileName) {
  cues_ = std::move(cues);
  SortByTime();
  fileName_ = BaseName(fileName);
}

void TProjectList::Clear() {
  cues_.clear();
  cues_.shrink_to_fit();
  fileName_.clear();
}

const devices::CueRecord& TProjectList::Items(int index) const {
  if (index < 0 || index >= Count())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return cues_[static_cast<size_t>(index)];
}

void TProjectList::SetItem(int index, const devices::CueRecord& cue) {
  if (index < 0 || index >= Count())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  cues_[static_cast<size_t>(index)] = cue;
}

int32_t TProjectList::LastTime() const { return cues_.empty() ? 0 : cues_.back().TimeMs; }

void TProjectList::SortByTime() { devices::SortCuesByTime(cues_); }

void TProjectList::MarkUsedChannels(devices::TControls& controls) const {
  // Only firing consoles carry the table; a cue for any other address, or for a channel outside
  // the table, has nothing to mark. Consoles are looked up once, not once per cue.
  std::array<devices::TCommonControl*, 200> consoles{};
  for (int id = 1; id <= 199; ++id) consoles[id] = dynamic_cast<devices::TCommonControl*>(controls.FindByID(id));
  for (int i = 0; i < controls.Count(); ++i) {
    auto* console = dynamic_cast<devices::TCommonControl*>(controls.Items(i));
    if (console && console->ID >= 1 && console->ID <= 199) console->ClearChannelUsed();
  }
  for (const auto& cue : cues_) {
    if (cue.CueKind != devices::ChannelCue || cue.Console < 1 || cue.Console > 199) continue;
    if (auto* console = consoles[cue.Console]) console->SetChannelUsed(cue.Channel, true);
  }
}

}  // namespace fd::show
