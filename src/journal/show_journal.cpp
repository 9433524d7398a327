#include "journal/show_journal.h"

#include <cerrno>

namespace fd::journal {

ShowJournal::ShowJournal(JournalWriter::Seams seams) : writer_(std::move(seams)) {
  writer_.OnFailure = [this](const std::string& reason) {
    if (OnFailure) OnFailure(writer_.Path(), writer_.BytesWritten(), reason);
  };
}

bool ShowJournal::Open(const std::string& folder, int64_t unixSeconds, const JournalHeader& header,
                       const std::string& label) {
  const std::string name = JournalFileName(unixSeconds, header.scenarioPath, label);
  const std::string stem = name.substr(0, name.size() - 6);  // without ".jsonl"
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  cuesSent_ = 0;
  // Two shows started within one second of the same scenario get names of their own.
  for (int n = 1; n < 100; ++n) {
    const std::string path = base + (n == 1 ? name : stem + "-" + std::to_string(n) + ".jsonl");
    if (writer_.Open(path)) {
      writer_.Append(HeaderLine(header));
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

void ShowJournal::CueSent(const CueEvent& cue) {
  writer_.Append(CueLine(cue));
  if (!cue.followed) ++cuesSent_;
}

void ShowJournal::Stopped(StopSource source, int32_t showMs) {
  writer_.Append(StopLine(source, showMs));
  writer_.SyncSoon();
}

void ShowJournal::ModeChanged(int mode) { writer_.Append(ModeLine(mode)); }

void ShowJournal::SoundtrackChanged(bool playing, int32_t showMs) { writer_.Append(SoundtrackLine(playing, showMs)); }

void ShowJournal::ConverterChanged(bool lost) { writer_.Append(ConverterLine(lost)); }

void ShowJournal::Close(int32_t showMs) {
  if (!writer_.IsOpen()) return;
  writer_.Append(CloseLine(showMs, cuesSent_));
  writer_.Close();
}

}  // namespace fd::journal
