#include "support/run_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>

#include "support/cp1251.h"
#include "support/date_text.h"
#include "support/file_handle.h"
#include "support/numbers.h"

namespace fd::support {

std::atomic<uint8_t> LogLevel{3};

namespace {

using Sink = std::function<void(const std::string&)>;

void StandardErrorSink(const std::string& text) {
  const std::string line = text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

struct LogState {
  std::mutex fileLock;  // everything below up to the sink is used only under it
  std::string fileName;
  std::string lastMessage;
  int32_t lastLineStart = 0;
  int32_t repeatCount = 0;
  // Where this process's last line ended, and in which file.
  std::string lastPath;
  int64_t lastLineEnd = -1;

  std::atomic<bool> failed{false};

  std::mutex sinkLock;
  std::shared_ptr<const Sink> sink = std::make_shared<const Sink>(StandardErrorSink);
};

// Never destroyed: a thread may still log while the process ends.
LogState& State() {
  static LogState* state = new LogState;
  return *state;
}

// The start of a line as the log keeps it: the low 32 bits of the offset, signed, so that from
// 2 GiB on it is negative and the line is no longer replaced. From 4 GiB the low bits would turn
// positive again and point into old lines; such a start is recorded as unknown (-1) instead.
int32_t LineStartOf(int64_t offset) {
  const auto low = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(offset)));
  if (offset > std::numeric_limits<int32_t>::max() && low >= 0) return -1;
  return low;
}

bool WriteAllAt(int fd, const std::string& bytes, off_t offset) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
  const size_t slash = path.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  // A dot that opens the name (".hidden") starts no extension.
  if (dot == std::string::npos || dot <= nameStart) return path + extension;
  return path.substr(0, dot) + extension;
}

// The file part of WriteLog, under the lock. false on any failure.
bool WriteToFile(LogState& s, const std::string& text) {
  const std::string path = s.fileName.empty() ? DefaultLogFileName() : s.fileName;
  if (path.empty()) return false;

  FileHandle file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644));
  if (file.Get() < 0) return false;
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // Another writer holding the file makes this attempt fail, like a file opened deny-write.
  if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) return false;
  const off_t size = ::lseek(file.Get(), 0, SEEK_END);
  if (size < 0) return false;

  off_t lineStart = size;
  std::string line = DateTimeText(std::time(nullptr)) + ": " + text;
  if (text != s.lastMessage) {
    s.lastMessage = text;
    s.repeatCount = 1;
  } else if (!text.empty()) {
    const bool ownLastLine =
        s.lastLineStart >= 0 && path == s.lastPath && size == s.lastLineEnd && s.lastLineStart <= size;
    if (ownLastLine) lineStart = s.lastLineStart;
    if (s.repeatCount < std::numeric_limits<int32_t>::max()) ++s.repeatCount;
    line += " ( X " + NumberText(s.repeatCount) + " )";
  } else {
    return file.Close();  // the same empty text again: nothing to write
  }
  line += "\r\n";

  const std::string bytes = Utf8ToCp1251(line);
  s.lastLineStart = LineStartOf(lineStart);
  s.lastPath = path;
  s.lastLineEnd = -1;
  // The repeat line overwrites the previous one and the file is then cut behind it: the same
  // bytes as cutting first, but without a moment in which the file has lost its last line (and
  // without a truncation to zero length, which some file systems answer with a flush).
  if (!WriteAllAt(file.Get(), bytes, lineStart)) return false;
  const off_t end = lineStart + static_cast<off_t>(bytes.size());
  if (end < size && ::ftruncate(file.Get(), end) != 0) return false;
  s.lastLineEnd = end;
  return file.Close();
}

void SendToDebugOutput(const std::string& text) {
  std::shared_ptr<const Sink> sink;
  {
    std::lock_guard guard(State().sinkLock);
    sink = State().sink;
  }
  if (sink && *sink) (*sink)(text);
}

}  // namespace

std::string DefaultLogFileName() {
  const std::string program = ProgramFileName();
  if (program.empty()) return {};
  return ReplaceExtension(program, ".log");
}

void SetLogFileName(const std::string& path) {
  auto& s = State();
  std::lock_guard guard(s.fileLock);
  s.fileName = path;
}

std::string LogFileName() {
  auto& s = State();
  std::lock_guard guard(s.fileLock);
  return s.fileName;
}

bool LogFailed() { return State().failed.load(); }

void WriteLog(const std::string& text, uint8_t level) {
  if (level == 0 || level > LogLevel.load()) return;
  auto& s = State();
  try {
    SendToDebugOutput(text);
  } catch (...) {
    // The debug output is a convenience; its trouble is not the caller's.
  }
  if (s.failed.load()) return;
  try {
    std::lock_guard guard(s.fileLock);
    if (s.failed.load()) return;
    if (!WriteToFile(s, text)) s.failed.store(true);
  } catch (...) {
    s.failed.store(true);
  }
}

void SetDebugOutput(std::function<void(const std::string&)> sink) {
  auto shared = std::make_shared<const Sink>(std::move(sink));
  auto& s = State();
  std::lock_guard guard(s.sinkLock);
  s.sink = std::move(shared);
}

void ResetRunLog() {
  auto& s = State();
  {
    std::lock_guard guard(s.fileLock);
    s.fileName.clear();
    s.lastMessage.clear();
    s.lastLineStart = 0;
    s.repeatCount = 0;
    s.lastPath.clear();
    s.lastLineEnd = -1;
    s.failed.store(false);
  }
  LogLevel.store(3);
  SetDebugOutput(StandardErrorSink);
}

}  // namespace fd::support
