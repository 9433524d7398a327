#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "journal/journal_events.h"
#include "journal/journal_writer.h"

namespace fd::journal {

// The journal of one show: opened when the show starts, closed when it has stopped. The player
// tells it each cue before the cue's frame goes out and each stop with its source; the window and
// the command-line tool add what only they know (the header, modes, the converter).
class ShowJournal {
 public:
  explicit ShowJournal(JournalWriter::Seams seams = JournalWriter::SystemCalls());

  // Creates folder/<date>_<time>_<scenario>.jsonl (with "-2", "-3" ... should that name be taken)
  // and writes the header. False when no file could be made.
  bool Open(const std::string& folder, int64_t unixSeconds, const JournalHeader& header, const std::string& label = {});
  bool IsOpen() const { return writer_.IsOpen(); }
  const std::string& Path() const { return writer_.Path(); }
  bool Failed() const { return writer_.Failed(); }
  uint64_t BytesWritten() const { return writer_.BytesWritten(); }
  int64_t CuesSent() const { return cuesSent_; }

  void CueSent(const CueEvent& cue);
  // The cue's frame has gone out (after CueSent): when, on the show clock.
  void CueOut(int32_t line, int32_t sentMs) { writer_.Append(CueOutLine(line, sentMs)); }
  void Stopped(StopSource source, int32_t showMs);
  void ModeChanged(int mode);
  void SoundtrackChanged(bool playing, int32_t showMs);
  void ConverterChanged(bool lost);
  // An event its caller made: one JSON object, on one line.
  void Append(const std::string& line) { writer_.Append(line); }
  // The closing event, a last sync, and the file is closed; a journal without it is a show cut short.
  void Close(int32_t showMs);

  // Once, on the first failure: the file's path, the bytes it holds and why it stopped.
  std::function<void(const std::string& path, uint64_t bytes, const std::string& reason)> OnFailure;

 private:
  JournalWriter writer_;
  int64_t cuesSent_ = 0;
};

}  // namespace fd::journal
