#pragma once

// timecode decodes sound (FFmpeg, SDL2 capture, libltc): it lives in a program of its own
// (firnadesk-cli-timecode) that firnadesk-cli starts for it, as rehearse does, so that the other
// commands do not load those libraries. Both programs list it with these texts.
namespace fd::cli {

inline constexpr const char* kTimecodeName = "timecode";
inline constexpr const char* kTimecodeProgram = "firnadesk-cli-timecode";
inline constexpr const char* kTimecodeUsage = "SOURCE [--channel N] [--json]";
inline constexpr const char* kTimecodeSummary =
    "listen to SMPTE timecode (capture, capture:NAME or a sound file) and tell what is heard";

}  // namespace fd::cli
