#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "timecode/timecode_chase.h"

namespace fd::app {

// The "Таймкод" indicator's text: "Таймкод" (off), "Таймкод: поиск", "Таймкод 25" (locked, the
// rate as counted: 24, 25, 29.97df, 30), "Таймкод потерян".
QString TimecodeLedText(timecode::ChaseState state, timecode::FrameRate rate);

// The received timecode under the show clock: "01:00:05:12" (";" before the frames at drop-frame),
// "--:--:--:--" before any frame was heard.
QString ReceivedTimecodeText(const std::optional<timecode::Timecode>& label, timecode::FrameRate rate);

// Why the player passed over a cue, as the run log tells the operator.
QString SkipReasonText(const std::string& reason);

// The run log's lines for what the chased timecode did and for a cue passed over; times are show
// times in ms, written as the show clock shows them.
QString TimecodeLostLine(int32_t showMs, bool showRunning);
QString TimecodeReturnLine(int32_t showMs);
QString TimecodeJumpLine(int32_t fromMs, int32_t toMs);
QString CueSkippedLine(int32_t line, int32_t timeMs, const std::string& reason);

}  // namespace fd::app
