#pragma once

// rehearse plays the soundtrack, so it links the audio libraries; it lives in a program of its own
// (firnadesk-cli-rehearse) that firnadesk-cli starts for it, and the other commands stay small
// enough to start under a tight memory limit. Both programs list it with these texts.
namespace fd::cli {

inline constexpr const char* kRehearseName = "rehearse";
inline constexpr const char* kRehearseProgram = "firnadesk-cli-rehearse";
inline constexpr const char* kRehearseUsage =
    "SCENARIO (--simulate[=BENCH] | --port PATH) [--autonomous [--allow-missing]] [--soundtrack FILE] [--from TIME] "
    "[--resume JOURNAL] [--timecode SOURCE [--timecode-offset HH:MM:SS:FF]] [--json] [--full-search] [--journal-dir "
    "DIR] [--plot FILE.png]";
inline constexpr const char* kRehearseSummary = "run the show in real time and report when each cue went out and fired";

}  // namespace fd::cli
