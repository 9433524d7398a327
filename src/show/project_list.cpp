#include "show/project_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "platform/platform.h"
#include "show/scenario_line.h"
#include "support/localizer.h"
#include "support/numbers.h"

namespace fd::show {

namespace {

// The texts the operator knows from file errors of the desktop runtime.
std::string FileErrorText(int error) {
  switch (error) {
    case ENOENT:
      return "File not found";
    case ENOTDIR:
      return "Path not found";
    case EACCES:
    case EPERM:
    case EISDIR:
      return "File access denied";
    default:
      return "I/O error " + std::to_string(error);
  }
}

class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string LoadErrorText(int line) {
  return support::LocalText(94, "Ошибка загрузки сценария (строка:") + " " + support::NumberText(line) + ").";
}

LoadResult TProjectList::FailAtLine(int line) {
  Clear();
  LoadResult result;
  result.Status = LoadStatus::LineError;
  result.Line = line;
  result.Message = LoadErrorText(line);
  if (platform_) platform_->ShowMessage(result.Message, support::LocalText(91, "Ошибка"));
  return result;
}

LoadResult TProjectList::LoadFromFile(const std::string& path) {
  Clear();

  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    int error = errno;
    return LoadResult{LoadStatus::OpenFailed, 0, FileErrorText(error)};
  }
  struct stat info {};
  if (::fstat(file.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return LoadResult{LoadStatus::OpenFailed, 0, FileErrorText(EISDIR)};
  }

  // Lines are cut out of the read buffer in place; only a line that spans two reads is copied.
  static constexpr size_t kChunk = 1 << 20;
  std::string buffer(kChunk, '\0');
  std::string carried;
  int lineNumber = 0;
  devices::CueRecord cue;

  auto takeLine = [&](std::string_view line) -> bool {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return true;
    if (!ParseCueLine(line, cue)) return false;
    cues_.push_back(std::move(cue));
    return true;
  };

  for (;;) {
    ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return FailAtLine(lineNumber + 1);
    }
    if (got == 0) break;
    std::string_view chunk(buffer.data(), static_cast<size_t>(got));
    for (;;) {
      size_t lf = chunk.find('\n');
      if (lf == std::string_view::npos) {
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
      if (!ok) return FailAtLine(lineNumber);
      chunk.remove_prefix(lf + 1);
    }
  }
  // The last line may end with the file instead of a line break.
  if (!carried.empty() && !takeLine(carried)) return FailAtLine(lineNumber);

  SortByTime();
  fileName_ = BaseName(path);
  return LoadResult{};
}

void TProjectList::Clear() {
  cues_.clear();
  cues_.shrink_to_fit();
  fileName_.clear();
}

const devices::CueRecord& TProjectList::Items(int index) const {
  if (index < 0 || index >= Count()) throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return cues_[static_cast<size_t>(index)];
}

void TProjectList::SetItem(int index, const devices::CueRecord& cue) {
  if (index < 0 || index >= Count()) throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  cues_[static_cast<size_t>(index)] = cue;
}

int32_t TProjectList::LastTime() const { return cues_.empty() ? 0 : cues_.back().TimeMs; }

void TProjectList::SortByTime() { devices::SortCuesByTime(cues_); }

}  // namespace fd::show
