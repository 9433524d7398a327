#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace fd::audio::testing {

// A test tone whose every frame says where in the file it stands: 16-bit stereo, a sine on the left
// and the cosine on the right, one turn every kTonePeriod frames of the file. Its phase is the
// file position within a turn; followed turn by turn, it is the file position itself.
inline constexpr int kTonePeriod = 64;
inline constexpr double kToneAmplitude = 20000;
void WriteToneWav(const std::string& path, int sampleRate, int64_t frames);

// Follows the tone through what the output takes (the delivery hook, device side) while it lives,
// from the first frame of a PlayFrom(0): the file time every device frame carries, and every frame
// that does not step on from the one before it as the tone does at the file's speed, give or take
// a tenth (a frame dropped, repeated or cut short would all show) or has lost its loudness.
class ToneFollower {
 public:
  ToneFollower(int fileRate, int deviceRate);
  ~ToneFollower();
  ToneFollower(const ToneFollower&) = delete;
  ToneFollower& operator=(const ToneFollower&) = delete;

  // The file time, in seconds, of the sound at a device frame taken lately.
  double SecondsAt(int64_t frame) const;
  int64_t Frames() const { return frames_; }
  int64_t Breaks() const { return breaks_; }

 private:
  void Take(const int16_t* samples, int64_t count);

  int fileRate_;
  double stepPerFrame_;  // radians from one device frame to the next at the file's speed
  int64_t frames_ = 0;
  int64_t breaks_ = 0;
  double phase_ = 0;  // unwrapped, of the last frame
  double lastLeft_ = 0, lastRight_ = 0;
  // The unwrapped phase at the first frame of each recent piece of output.
  struct Anchor {
    int64_t frame;
    double phase;
  };
  std::array<Anchor, 64> anchors_{};
  size_t anchorCount_ = 0;
};

}  // namespace fd::audio::testing
