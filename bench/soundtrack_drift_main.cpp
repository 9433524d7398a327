// Prints how far the soundtrack is from the show clock after an hour on a sound card that runs fast
// or slow, with and without following the clock.
#include <stdlib.h>

#include "bench/soundtrack_drift.h"

int main() {
  setenv("SDL_AUDIODRIVER", "dummy", 0);  // the test device stands in for the card; SDL is never heard
  fd::bench::PrintSoundtrackDriftFigures();
  return 0;
}
