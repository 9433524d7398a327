#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace fd::support {

// The run log: one line per event, "<date> <time>: <text>" in Windows-1251 with CR LF; a text
// repeated right after itself replaces its previous line with " ( X n )". Any failure is swallowed
// and turns file output off for the rest of the process.
//
// The previous line is only replaced when it is still the last thing in the same file, exactly
// where this process left it, and starts below 2 GiB; otherwise the repeat line is appended, so
// lines written by anyone else, or another file, are never cut away.

// A message of level L is handled only when 1 <= L <= LogLevel. Starts at 3; the console sets 0.
extern std::atomic<uint8_t> LogLevel;

void SetLogFileName(const std::string& path);  // empty: the program's file name with ".log"
std::string LogFileName();                     // as set; empty while the default is in use
bool LogFailed();

// texts are UTF-8; every caller of the console passes level 1.
void WriteLog(const std::string& text, uint8_t level);

// Where messages that pass the level test go besides the file (the debugger output; standard
// error by default). Tests replace it. An empty function turns it off.
void SetDebugOutput(std::function<void(const std::string&)> sink);

// Back to the state of a fresh process (level 3, no file name, not failed, no last message,
// standard error as the debug output).
void ResetRunLog();

// The folder of the program's own executable, with its trailing separator.
std::string ProgramFolder();
// The program's own executable path.
std::string ProgramFileName();
// The program's file name with its extension replaced by ".log" (the log while no name is set).
std::string DefaultLogFileName();

}  // namespace fd::support
