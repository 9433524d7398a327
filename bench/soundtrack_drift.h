#pragma once

#include <string>
#include <vector>

namespace fd::bench {

// The soundtrack's distance from the show clock after 60 virtual minutes on a sound device whose
// crystal runs 500 ppm fast and 500 ppm slow, with the soundtrack following the show clock and left
// to its own speed; printed, judged by nobody.
void PrintSoundtrackDriftFigures();

// The same hour as rows of a figures table: a name ("soundtrack +500 ppm, follows") and its
// figures, with the target for the soundtrack that follows the clock.
struct DriftRow {
  std::string name;
  std::string figures;
};
std::vector<DriftRow> SoundtrackDriftRows();

}  // namespace fd::bench
