// LTC decoding over signals made with libltc's encoder: the rate told from the signal, the labels
// in order, each frame's heard time against its true first edge, and the gaps and jumps a tape
// shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "timecode/ltc_decoder.h"
#include "timecode/ltc_signal.h"

namespace fd::timecode {
namespace {

using testing::IdealFrame;
using testing::LabelAfter;
using testing::LtcSignalSpec;

constexpr double kAnchorMs = 5000.0;

struct DecodeCase {
  const char* name;
  LtcSignalSpec spec;
  FrameRate rate;
  bool clean;  // heard times within 1 ms of the true edges, level as made
  int channels = 1;
  bool asFloat = false;
};

Timecode Tc(int h, int m, int s, int f) { return Timecode{h, m, s, f}; }

LtcSignalSpec Spec(FrameRate rate, double seconds) {
  LtcSignalSpec spec;
  spec.rate = rate;
  spec.seconds = seconds;
  return spec;
}

std::vector<DecodeCase> Cases() {
  std::vector<DecodeCase> cases;
  cases.push_back({"25", Spec(FrameRate::Fps25, 6), FrameRate::Fps25, true});
  cases.push_back({"2997df", Spec(FrameRate::Fps2997Drop, 6), FrameRate::Fps2997Drop, true});
  cases.push_back({"24", Spec(FrameRate::Fps24, 4), FrameRate::Fps24, true});
  cases.push_back({"30", Spec(FrameRate::Fps30, 4), FrameRate::Fps30, true});
  // Across a minute boundary, where drop-frame labels skip 00 and 01.
  auto minute = Spec(FrameRate::Fps2997Drop, 4);
  minute.start = Tc(1, 0, 58, 0);
  cases.push_back({"2997df over a minute", minute, FrameRate::Fps2997Drop, true});
  auto fast = Spec(FrameRate::Fps25, 6);
  fast.clockErrorPpm = 1000;
  cases.push_back({"25 +1000 ppm", fast, FrameRate::Fps25, true});
  auto slow = Spec(FrameRate::Fps2997Drop, 6);
  slow.clockErrorPpm = -1000;
  cases.push_back({"2997df -1000 ppm", slow, FrameRate::Fps2997Drop, true});
  auto quiet = Spec(FrameRate::Fps25, 4);
  quiet.levelDbfs = -20;
  cases.push_back({"25 at -20 dBFS", quiet, FrameRate::Fps25, true, 1, true});
  auto noisy = Spec(FrameRate::Fps25, 6);
  noisy.snrDb = 20;
  cases.push_back({"25 noise 20 dB", noisy, FrameRate::Fps25, false});
  auto dropout = Spec(FrameRate::Fps25, 8);
  dropout.dropouts.push_back({3.0, 1.0});
  cases.push_back({"25 dropout 1 s", dropout, FrameRate::Fps25, true});
  auto back = Spec(FrameRate::Fps2997Drop, 8);
  back.jumps.push_back({4.0, LabelAfter(back.start, FrameRate::Fps2997Drop, 4.0 - 10.0)});
  back.start = Tc(1, 0, 20, 0);
  back.jumps[0].to = LabelAfter(back.start, FrameRate::Fps2997Drop, 4.0 - 10.0);
  cases.push_back({"2997df jump 10 s back", back, FrameRate::Fps2997Drop, true});
  auto forward = Spec(FrameRate::Fps25, 8);
  forward.jumps.push_back({4.0, LabelAfter(forward.start, FrameRate::Fps25, 4.0 + 20.0)});
  cases.push_back({"25 jump 20 s forward, stereo", forward, FrameRate::Fps25, true, 2});
  return cases;
}

std::vector<DecodedFrame> Decode(const DecodeCase& c, const testing::LtcSignal& signal, LtcDecoder& decoder) {
  decoder.SetAnchor({0, kAnchorMs});
  std::vector<DecodedFrame> frames;
  // 10 ms at a time, as a capture device hands its buffers over.
  const size_t slice = signal.sampleRate / 100;
  std::vector<int16_t> interleaved;
  std::vector<float> floats;
  for (size_t at = 0; at < signal.samples.size(); at += slice) {
    const size_t count = std::min(slice, signal.samples.size() - at);
    interleaved.assign(count * c.channels, 0);
    for (size_t i = 0; i < count; ++i) {
      // The timecode on the last channel; the others carry full-scale music the decoder must ignore.
      for (int ch = 0; ch + 1 < c.channels; ++ch) interleaved[i * c.channels + ch] = (i % 40 < 20) ? 30000 : -30000;
      interleaved[i * c.channels + c.channels - 1] = signal.samples[at + i];
    }
    const int channel = c.channels == 1 ? kMixChannels : c.channels - 1;
    if (c.asFloat) {
      floats.resize(interleaved.size());
      std::transform(interleaved.begin(), interleaved.end(), floats.begin(), [](int16_t v) { return v / 32768.0f; });
      decoder.Write(floats.data(), count, c.channels, channel, static_cast<int64_t>(at));
    } else {
      decoder.Write(interleaved.data(), count, c.channels, channel, static_cast<int64_t>(at));
    }
    for (const DecodedFrame& f : decoder.TakeFrames()) frames.push_back(f);
  }
  return frames;
}

class LtcDecodeTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(LtcDecodeTable, RateLabelsTimesGapsAndJumps) {
  const DecodeCase& c = GetParam();
  const testing::LtcSignal signal = testing::MakeLtcSignal(c.spec);
  LtcDecoder decoder(signal.sampleRate);
  const std::vector<DecodedFrame> frames = Decode(c, signal, decoder);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(decoder.Rate(), c.rate);
  // A frame heard across a dropout is no frame.
  EXPECT_EQ(decoder.Counts().rejected, static_cast<int64_t>(c.spec.dropouts.size()));

  // Each decoded frame is one of the frames sent, in the order sent, and heard while audible.
  size_t ideal = 0;
  double worstMs = 0;
  for (const DecodedFrame& f : frames) {
    EXPECT_EQ(f.rate, c.rate) << TimecodeText(f.label, f.rate);
    while (ideal < signal.frames.size() && !(signal.frames[ideal].label == f.label)) ++ideal;
    ASSERT_LT(ideal, signal.frames.size()) << "not sent, or out of order: " << TimecodeText(f.label, f.rate);
    const IdealFrame& sent = signal.frames[ideal++];
    EXPECT_TRUE(sent.audible) << TimecodeText(f.label, f.rate);
    worstMs = std::max(worstMs, std::fabs(f.heardMs - (kAnchorMs + sent.edgeMs)));
    if (c.clean) {
      EXPECT_NEAR(f.levelDbfs, c.spec.levelDbfs, 1.0) << TimecodeText(f.label, f.rate);
    }
  }
  if (c.clean) {
    EXPECT_LE(worstMs, 1.0);
  }
  // Nothing audible is lost but the frame the decoder locks on with and the one cut by a dropout.
  const auto audible =
      std::count_if(signal.frames.begin(), signal.frames.end(), [](const IdealFrame& f) { return f.audible; });
  EXPECT_LE(audible - static_cast<long>(frames.size()), static_cast<long>(1 + c.spec.dropouts.size()))
      << "decoded " << frames.size() << " of " << audible;

  // A dropout shows as a gap as long as itself; a jump as two frames heard one frame apart whose
  // labels are not.
  int gaps = 0, jumps = 0;
  const double frameMs = FrameDurationMs(c.rate);
  for (size_t i = 1; i < frames.size(); ++i) {
    const double heardApart = frames[i].heardMs - frames[i - 1].heardMs;
    const int64_t labelsApart = FrameNumber(frames[i].label, c.rate) - FrameNumber(frames[i - 1].label, c.rate);
    if (heardApart > 1.5 * frameMs) {
      ++gaps;
      EXPECT_GE(heardApart, c.spec.dropouts.at(0).seconds * 1000.0);
    } else if (labelsApart != 1) {
      ++jumps;
      EXPECT_EQ(frames[i].label, c.spec.jumps.at(0).to);
    }
  }
  EXPECT_EQ(gaps, static_cast<int>(c.spec.dropouts.size()));
  EXPECT_EQ(jumps, static_cast<int>(c.spec.jumps.size()));
}

INSTANTIATE_TEST_SUITE_P(Signals, LtcDecodeTable, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<DecodeCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// A label the rate cannot count to (frame 26 at 25 frames a second) is thrown away, not handed on
// nor taken as a sign of 30.
TEST(LtcDecoder, RefusesLabelsTheRateCannotCount) {
  auto spec = Spec(FrameRate::Fps25, 4);
  spec.jumps.push_back({2.0, Tc(1, 0, 5, 26)});
  const testing::LtcSignal signal = testing::MakeLtcSignal(spec);
  LtcDecoder decoder(signal.sampleRate);
  decoder.Write(signal.samples.data(), signal.samples.size(), 1, kMixChannels, 0);
  const std::vector<DecodedFrame> frames = decoder.TakeFrames();
  EXPECT_GE(decoder.Counts().rejected, 1);
  for (const DecodedFrame& f : frames) {
    EXPECT_EQ(f.rate, FrameRate::Fps25);
    EXPECT_LT(f.label.frames, 25);
  }
  EXPECT_EQ(decoder.Counts().accepted, static_cast<int64_t>(frames.size()));
}

}  // namespace
}  // namespace fd::timecode
