#pragma once

namespace fd::bench {

// The soundtrack's distance from the show clock after 60 virtual minutes on a sound device whose
// crystal runs 500 ppm fast and 500 ppm slow, with the soundtrack following the show clock and left
// to its own speed; printed, judged by nobody.
void PrintSoundtrackDriftFigures();

}  // namespace fd::bench
