#pragma once

#include <cstdint>

namespace fd::audio {

// Keeps the soundtrack on the show clock by its speed alone, never by a jump: from the distance
// between the sound heard and the show clock, measured again and again, the stretch to play with.
// A stretch s plays (1 + s) frames for every frame of the file, so a positive one slows the sound.
//
// A proportional-integral loop on the smoothed distance: the integral learns the device's own
// error (a sound card's crystal is typically 50 to 200 ppm off), the proportional part takes out
// what is left. The stretch never goes past a tenth of a percent, far below what an ear hears as
// a change of pitch, and it changes a little at a time. Until the distance first reaches
// kEngageMs the stretch stays 0, so a sound on a clock that agrees is never touched.
class SpeedControl {
 public:
  static constexpr double kMostStretch = 0.001;
  static constexpr double kEngageMs = 1.0;

  void Reset();
  // heardMs minus the show clock, measured when the show clock stood at showMs. Returns the stretch.
  double Update(double distanceMs, int32_t showMs);
  double Stretch() const { return stretch_; }
  bool Engaged() const { return engaged_; }

 private:
  bool measured_ = false;
  bool engaged_ = false;
  int32_t lastShowMs_ = 0;
  double smoothedMs_ = 0;
  double integralMsS_ = 0;  // ms x s
  double stretch_ = 0;
};

}  // namespace fd::audio
