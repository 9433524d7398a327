#include "support/version_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "support/numbers.h"
#include "support/tw_strings.h"
#include "support/file_handle.h"
#include "support/version_marker.h"

namespace fd::support {

namespace {

constexpr const char* kNoVersion = "0.0.0.0";
constexpr size_t kMaxVersionLength = 255;
constexpr unsigned char kMarkerKey = 0xA5;

// The marker is kept only in this scrambled form; were it stored plainly, the reader's own copy
// would be a second (and false) record in every program file.
template <size_t N>
consteval std::array<unsigned char, N - 1> Scramble(const char (&text)[N]) {
  std::array<unsigned char, N - 1> out{};
  for (size_t i = 0; i + 1 < N; ++i) out[i] = static_cast<unsigned char>(text[i]) ^ kMarkerKey;
  return out;
}

constexpr auto kScrambledMarker = Scramble(FIRNADESK_VERSION_MARKER);
// Read at run time, so the compiler cannot unscramble the marker into a constant of its own.
volatile unsigned char gMarkerKey = kMarkerKey;

// Appends up to one chunk; false on a read error. eof is set when the file has no more.
bool ReadChunk(int fd, std::string& buffer, bool& eof) {
  char chunk[kVersionScanChunk];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) eof = true;
    buffer.append(chunk, static_cast<size_t>(n));
    return true;
  }
}

// The version text after a marker: printable characters up to the terminating NUL.
std::string RecordText(const std::string& buffer, size_t start) {
  std::string text;
  for (size_t i = start; i < buffer.size() && text.size() < kMaxVersionLength; ++i) {
    const auto c = static_cast<unsigned char>(buffer[i]);
    if (c < 0x20 || c > 0x7E) break;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

std::string ScanForVersion(int fd) {
  const std::string marker = VersionRecordMarker();
  std::string buffer;
  bool eof = false;
  size_t searchFrom = 0;
  if (!ReadChunk(fd, buffer, eof)) return kNoVersion;
  for (;;) {
    const size_t pos = buffer.find(marker, searchFrom);
    if (pos == std::string::npos) {
      if (eof) return kNoVersion;
      // Keep what could be the beginning of a marker cut by the chunk border.
      const size_t keep = std::min(buffer.size(), marker.size() - 1);
      buffer.erase(0, buffer.size() - keep);
      searchFrom = 0;
      if (!ReadChunk(fd, buffer, eof)) return kNoVersion;
      continue;
    }
    const size_t textStart = pos + marker.size();
    if (!eof && buffer.size() - textStart <= kMaxVersionLength) {
      // The text may go on in the next chunk: read on and look at this marker again.
      buffer.erase(0, pos);
      searchFrom = 0;
      if (!ReadChunk(fd, buffer, eof)) return kNoVersion;
      continue;
    }
    std::string text = RecordText(buffer, textStart);
    if (!text.empty()) return text;
    searchFrom = pos + 1;  // a marker without a text is no record
  }
}

}  // namespace

std::string VersionRecordMarker() {
  const unsigned char key = gMarkerKey;
  std::string marker;
  for (const unsigned char b : kScrambledMarker) marker.push_back(static_cast<char>(b ^ key));
  return marker;
}

std::string FileVersionText(const std::string& path) {
  try {
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0) return kNoVersion;
    // Only a regular file: a FIFO or a device could block or never end.
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return kNoVersion;
    return ScanForVersion(file.Get());
  } catch (...) {
    return kNoVersion;
  }
}

std::string ProgramVersionText() {
  // The running program's file cannot change under it (the link names the inode it runs from).
  static const std::string version = FileVersionText("/proc/self/exe");
  return version;
}

int ProgramMajorVersion() {
  const TTWStrings parts(ProgramVersionText(), '.');
  return IntOrZero(parts[0]);
}

}  // namespace fd::support
