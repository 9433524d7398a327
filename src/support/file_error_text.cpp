#include "support/file_error_text.h"

#include <cerrno>

namespace fd::support {

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

}  // namespace fd::support
