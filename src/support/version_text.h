#pragma once

#include <cstddef>
#include <string>

namespace fd::support {

// The file version compiled into a program file ("2.0.0.56"), "0.0.0.0" when it has none.
// The first version record in the file wins; the text is at most 255 characters.
std::string FileVersionText(const std::string& path);
// The version of the running program's own file.
std::string ProgramVersionText();
// The first dot-separated part of the program's version as a number (0 when it is not one).
int ProgramMajorVersion();

// The marker that opens a version record, for tools and tests that write such a record.
std::string VersionRecordMarker();
// FileVersionText reads the file in pieces of this size.
inline constexpr size_t kVersionScanChunk = 64 * 1024;

}  // namespace fd::support
