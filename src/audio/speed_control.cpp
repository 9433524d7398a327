#include "audio/speed_control.h"

#include <algorithm>
#include <cmath>

namespace fd::audio {

namespace {
// A critically damped loop with a natural frequency of 0.1 rad/s: a crystal 500 ppm off moves the
// sound at most about 2 ms before the loop has learnt it, and a millisecond of measuring noise moves
// the speed by 0.02 % at most.
constexpr double kProportionalPerS = 0.2;
constexpr double kIntegralPerS2 = 0.01;
// The distance is smoothed over about half a second: the show clock counts whole milliseconds and
// a real device is only known to within its buffer.
constexpr double kSmoothingS = 0.5;
// A show clock that stood still for longer (a blocked user interface) does not make one huge step.
constexpr double kLongestStepS = 1.0;
}  // namespace

void SpeedControl::Reset() { *this = SpeedControl(); }

double SpeedControl::Update(double distanceMs, int32_t showMs) {
  double stepS = 0;
  if (!measured_) {
    measured_ = true;
    smoothedMs_ = distanceMs;
  } else {
    stepS = (static_cast<int64_t>(showMs) - lastShowMs_) / 1000.0;
    if (stepS <= 0) return stretch_;  // the clock has not moved since: nothing new to learn
    stepS = std::min(stepS, kLongestStepS);
    smoothedMs_ += stepS / (kSmoothingS + stepS) * (distanceMs - smoothedMs_);
  }
  lastShowMs_ = showMs;
  if (!engaged_ && std::fabs(smoothedMs_) < kEngageMs) return stretch_;
  engaged_ = true;

  const double integral = integralMsS_ + smoothedMs_ * stepS;
  const double wanted = (kProportionalPerS * smoothedMs_ + kIntegralPerS2 * integral) / 1000.0;
  stretch_ = std::clamp(wanted, -kMostStretch, kMostStretch);
  // At the limit the integral only learns what brings the stretch back, or it would wind up.
  if (stretch_ == wanted || (smoothedMs_ > 0) != (wanted > 0)) integralMsS_ = integral;
  return stretch_;
}

}  // namespace fd::audio
