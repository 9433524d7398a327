#include "sim/default_bench.h"

namespace fd::sim {

// Kept byte for byte equal to benches/default.bench (a test compares the two).
const char* const kDefaultBenchText = R"(# The default virtual bench of firnadesk: what `firnadesk --simulate` and `firnadesk-bench` serve
# when no bench file is named. One converter, seven consoles across the firmware generations and
# kinds, one radio module. The format is described in docs/bench.md.
converters 1

# One time cell per channel, no status bit yet. Channel 3 is not connected.
console 1  version 147 channels 16 aux 12.0 voltage 24.0 open 3
# Records in 10 ms steps; the status bit is reported from 151 on.
console 2  version 151 channels 16 aux 12.1 voltage 24.2 status 1
# The last of the 10 ms generation. Channel 5 is broken: its measurement goes unanswered.
console 3  version 164 channels 16 aux 12.2 voltage 24.4 broken 5
# Records in 2 ms steps, written with confirmation; sends the confirmation pair after "Ok", so the
# program talks to it with repeated exchanges.
console 4  version 168 channels 32 aux 12.3 voltage 24.6 confirm A5
# High-voltage console: letter Q, four channels, first status value in tenths of a volt. Channel 2
# is not connected.
console 5  version 268 letter Q channels 4 aux 310.5 voltage 24.8 hv 60 open 2
# Newest firmware: also reports a signed reading.
console 6  version 36B channels 16 aux 12.5 voltage 25.0 status 1 reading -12
# Motor console: motions are stored as three-record groups; its supply is the first status value.
console 7  version 168 letter P channels 8 aux 24.5 voltage 5.0 confirm 5A

radio 240  version 105
)";

}  // namespace fd::sim
