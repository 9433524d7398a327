#pragma once

#include <memory>
#include <string>

#include "timecode/ltc_source.h"
#include "timecode/timecode_chase.h"

namespace fd::timecode {

// What a show chasing timecode holds: the source the frames come from and the chase they go into.
// The source decodes on a thread of its own; Pump, on the show's thread, hands over what it heard.
class ChaseInput {
 public:
  // sourceText: the source as the operator wrote it ("capture", "capture:NAME", a file).
  ChaseInput(std::unique_ptr<TimecodeSource> source, std::string sourceText, Timecode offset);
  ~ChaseInput();
  ChaseInput(const ChaseInput&) = delete;
  ChaseInput& operator=(const ChaseInput&) = delete;

  // Starts hearing; false with the source's reason in Error() when it cannot.
  bool Start();
  void Stop();
  // The frames heard since the last call go into the chase, then it sees the time now (the
  // platform's ticks): call before the show clock is read.
  void Pump(double nowMs);

  TimecodeChase& Chase() { return chase_; }
  const TimecodeChase& Chase() const { return chase_; }
  TimecodeSource& Source() { return *source_; }
  const std::string& SourceText() const { return sourceText_; }
  std::string Error() const { return source_->Error(); }

 private:
  std::unique_ptr<TimecodeSource> source_;
  std::string sourceText_;
  TimecodeChase chase_;
};

// Opens the source a text names, for a show on the clock given; nullptr with the reason when the
// text is no source or the source cannot be opened.
std::unique_ptr<ChaseInput> OpenChaseInput(const std::string& sourceText, const Timecode& offset,
                                           platform::Clock& clock, std::string& error);

}  // namespace fd::timecode
