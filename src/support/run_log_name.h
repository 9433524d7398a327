#pragma once

#include <string>

namespace fd::support {

// The run log file of a new run: programFolder + "logs/" + date + "_" + n + ".log" with the
// smallest n (from 0) for which nothing of that name exists yet. Characters of the date that
// would make a path separator or cut the name ("/", "\", NUL) become ".". A folder without a
// trailing "/" gets one. Creates nothing, neither the folder nor the file.
std::string RunLogFileName(const std::string& programFolder, const std::string& shortDate);

}  // namespace fd::support
