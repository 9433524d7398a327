#include "audio/tone_follower.h"

#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "audio/audio_device.h"

namespace fd::audio::testing {

namespace {

constexpr double kTurn = 2 * std::numbers::pi;
constexpr int64_t kStartFrames = 32;

void Put(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

void WriteToneWav(const std::string& path, int sampleRate, int64_t frames) {
  const auto data = static_cast<uint32_t>(frames * 4);
  std::string header = "RIFF";
  Put(header, 36 + data, 4);
  header += "WAVEfmt ";
  for (auto [v, n] : {std::pair<uint32_t, int>{16, 4},
                      {1, 2},
                      {2, 2},
                      {static_cast<uint32_t>(sampleRate), 4},
                      {static_cast<uint32_t>(sampleRate * 4), 4},
                      {4, 2},
                      {16, 2}})
    Put(header, v, n);
  header += "data";
  Put(header, data, 4);
  std::vector<int16_t> turn(2 * kTonePeriod);
  for (int i = 0; i < kTonePeriod; ++i) {
    turn[2 * static_cast<size_t>(i)] =
        static_cast<int16_t>(std::lround(kToneAmplitude * std::sin(kTurn * i / kTonePeriod)));
    turn[2 * static_cast<size_t>(i) + 1] =
        static_cast<int16_t>(std::lround(kToneAmplitude * std::cos(kTurn * i / kTonePeriod)));
  }
  std::vector<int16_t> block;
  for (int i = 0; i < 4096; ++i) block.insert(block.end(), turn.begin(), turn.end());
  std::ofstream file(path, std::ios::binary);
  file.write(header.data(), static_cast<std::streamsize>(header.size()));
  const int64_t blockFrames = static_cast<int64_t>(block.size() / 2);
  for (int64_t done = 0; done < frames; done += blockFrames) {
    const int64_t n = std::min(blockFrames, frames - done);
    file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n * 4));
  }
  if (!file) throw std::runtime_error("cannot write " + path);
}

ToneFollower::ToneFollower(int fileRate, int deviceRate)
    : fileRate_(fileRate), stepPerFrame_(kTurn / kTonePeriod * fileRate / deviceRate) {
  SetDeliveryHook([this](Tap tap, const uint8_t* data, int32_t count) {
    if (tap == Tap::DeviceOutput) Take(reinterpret_cast<const int16_t*>(data), count / 4);
  });
}

ToneFollower::~ToneFollower() { SetDeliveryHook(nullptr); }

void ToneFollower::Take(const int16_t* samples, int64_t count) {
  const double low = 0.98 * kToneAmplitude * 0.98 * kToneAmplitude;
  const double high = 1.02 * kToneAmplitude * 1.02 * kToneAmplitude;
  for (int64_t i = 0; i < count; ++i) {
    const double left = samples[2 * i];
    const double right = samples[2 * i + 1];
    const double loudness = left * left + right * right;
    // The resampler starts from the first frame alone, with no sound before it to lean on: its
    // first few frames (well under a millisecond) are the start of the sound, not a break in it.
    const bool settled = frames_ >= kStartFrames;
    if (settled && (loudness < low || loudness > high)) ++breaks_;
    if (frames_ == 0) {
      phase_ = std::atan2(left, right);
    } else {
      // The angle turned since the frame before: small, so its sine is as good as itself; the two
      // loudnesses are within a few percent, so their mean stands for their geometric mean.
      const double turned =
          2 * (lastRight_ * left - lastLeft_ * right) / (lastLeft_ * lastLeft_ + lastRight_ * lastRight_ + loudness);
      if (settled && std::fabs(turned - stepPerFrame_) > 0.1 * stepPerFrame_) ++breaks_;
      phase_ += turned;
    }
    if (i == 0) {
      // Once a piece the exact angle, in the turn the running sum says.
      const double exact = std::atan2(left, right);
      phase_ = exact + kTurn * std::round((phase_ - exact) / kTurn);
      anchors_[anchorCount_++ % anchors_.size()] = Anchor{frames_, phase_};
    }
    lastLeft_ = left;
    lastRight_ = right;
    ++frames_;
  }
}

double ToneFollower::SecondsAt(int64_t frame) const {
  const Anchor* best = nullptr;
  for (size_t i = 0; i < std::min(anchorCount_, anchors_.size()); ++i) {
    const Anchor& a = anchors_[i];
    if (a.frame <= frame && (best == nullptr || a.frame > best->frame)) best = &a;
  }
  if (best == nullptr) throw std::logic_error("frame not followed");
  // Within a piece of at most 1024 frames the speed error is below a thousandth of that.
  const double phase = best->phase + static_cast<double>(frame - best->frame) * stepPerFrame_;
  return phase / kTurn * kTonePeriod / fileRate_;
}

}  // namespace fd::audio::testing
