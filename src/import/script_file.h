#pragma once

#include <string>

namespace fd::import {

// Reads a script file whole: only a regular file of at most the scenario's size limit. False with
// error in the loader's words ("File not found", "File access denied (it is a directory)").
bool ReadScriptFile(const std::string& path, std::string& bytes, std::string& error);

// Whether F2 should import the file rather than load it as a scenario: a ".csv" always; a ".txt"
// when its first row that is no "#" remark is a header naming a time, a console and a channel
// column.
bool LooksLikeScript(const std::string& path);

}  // namespace fd::import
