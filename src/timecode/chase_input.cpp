#include "timecode/chase_input.h"

namespace fd::timecode {

ChaseInput::ChaseInput(std::unique_ptr<TimecodeSource> source, std::string sourceText, Timecode offset)
    : source_(std::move(source)), sourceText_(std::move(sourceText)), chase_(offset) {}

ChaseInput::~ChaseInput() { Stop(); }

bool ChaseInput::Start() { return source_->Start(); }

void ChaseInput::Stop() { source_->Stop(); }

void ChaseInput::Pump(double nowMs) {
  for (const DecodedFrame& frame : source_->TakeFrames()) chase_.Feed(frame);
  chase_.Update(nowMs);
}

std::unique_ptr<ChaseInput> OpenChaseInput(const std::string& sourceText, const Timecode& offset,
                                           platform::Clock& clock, std::string& error) {
  const std::optional<SourceSpec> spec = ParseSourceSpec(sourceText, error);
  if (!spec) return nullptr;
  SourceOptions options;
  options.clock = &clock;
  std::unique_ptr<TimecodeSource> source = OpenTimecodeSource(*spec, options, error);
  if (!source) return nullptr;
  return std::make_unique<ChaseInput>(std::move(source), sourceText, offset);
}

}  // namespace fd::timecode
