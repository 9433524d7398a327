#include "import/script_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "import/script_import.h"
#include "show/project_list.h"
#include "support/file_error_text.h"
#include "support/file_handle.h"

namespace fd::import {

using support::FileErrorText;

namespace {

bool EndsWithNoCase(const std::string& text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = text[text.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// Reads up to limit bytes of a regular file; false with error otherwise.
bool ReadRegularFile(const std::string& path, uint64_t limit, bool whole, std::string& bytes, std::string& error) {
  // Opened without waiting, as the scenario is: a named pipe nobody writes to must not hold the
  // window.
  support::FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (file.Get() < 0) {
    error = FileErrorText(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) {
    error = FileErrorText(errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    error = FileErrorText(EISDIR) + " (it is a directory)";
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = FileErrorText(EACCES) + " (it is not a regular file)";
    return false;
  }
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (whole && size > limit) {
    error = std::string("the file is larger than ") + std::to_string(limit >> 20) + " MB";
    return false;
  }
  bytes.resize(static_cast<size_t>(size < limit ? size : limit));
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::pread(file.Get(), bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = FileErrorText(errno);
      return false;
    }
    if (n == 0) break;  // the file shrank meanwhile
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return true;
}

}  // namespace

bool ReadScriptFile(const std::string& path, std::string& bytes, std::string& error) {
  return ReadRegularFile(path, show::kMaxScenarioBytes, true, bytes, error);
}

bool LooksLikeScript(const std::string& path) {
  if (EndsWithNoCase(path, ".csv")) return true;
  if (!EndsWithNoCase(path, ".txt")) return false;
  // The header is near the top: a look at the first 64 KB decides.
  std::string head, error;
  if (!ReadRegularFile(path, 64 << 10, false, head, error)) return false;
  const size_t lastBreak = head.find_last_of('\n');
  if (head.size() == (64u << 10) && lastBreak != std::string::npos) head.resize(lastBreak + 1);
  return ImportScript(head, ImportSettings{}).Readable;
}

}  // namespace fd::import
