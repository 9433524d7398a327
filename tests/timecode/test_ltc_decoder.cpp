// LTC decoding over signals made with libltc's encoder: the rate told from the signal, the labels
// in order, each frame's heard time against its true first edge, and the gaps and jumps a tape
// shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "timecode/ltc_decoder.h"
#include "timecode/ltc_signal.h"

namespace fd::timecode {
namespace {

using testing::IdealFrame;
using testing::LabelAfter;
using testing::LtcSignalSpec;

constexpr double kAnchorMs = 5000.0;

// A signal spec written as the tape it describes.
struct Tape : LtcSignalSpec {
  Tape(FrameRate r, double s) {
    rate = r;
    seconds = s;
  }
  Tape& From(Timecode label) {
    start = label;
    return *this;
  }
  Tape& Ppm(double ppm) {
    clockErrorPpm = ppm;
    return *this;
  }
  Tape& Level(double dbfs) {
    levelDbfs = dbfs;
    return *this;
  }
  Tape& Snr(double db) {
    snrDb = db;
    return *this;
  }
  Tape& Dropout(double at, double length) {
    dropouts.push_back({at, length});
    return *this;
  }
  // At `at` seconds the labels move by `by` seconds.
  Tape& Jump(double at, double by) {
    jumps.push_back({at, LabelAfter(start, rate, at + by)});
    return *this;
  }
};

struct DecodeCase {
  const char* name;
  LtcSignalSpec spec;
  bool clean = true;  // heard times within 1 ms of the true edges, level as made
  int channels = 1;
  bool asFloat = false;
  friend void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }
};

using R = FrameRate;
const DecodeCase kCases[] = {
    {"Fps25", Tape(R::Fps25, 6)},
    {"Fps2997Drop", Tape(R::Fps2997Drop, 6)},
    {"Fps24", Tape(R::Fps24, 4)},
    {"Fps30", Tape(R::Fps30, 4)},
    // Across a minute boundary, where drop-frame labels skip 00 and 01.
    {"Fps2997DropOverAMinute", Tape(R::Fps2997Drop, 4).From({1, 0, 58, 0})},
    {"Fps25Fast", Tape(R::Fps25, 6).Ppm(1000)},
    {"Fps2997DropSlow", Tape(R::Fps2997Drop, 6).Ppm(-1000)},
    {"Fps25QuietAsFloat", Tape(R::Fps25, 4).Level(-20), true, 1, true},
    {"Fps25Noise20dB", Tape(R::Fps25, 6).Snr(20), false},
    {"Fps25Dropout1s", Tape(R::Fps25, 8).Dropout(3.0, 1.0)},
    {"Fps2997DropJump10sBack", Tape(R::Fps2997Drop, 8).From({1, 0, 20, 0}).Jump(4.0, -10.0)},
    {"Fps25Jump20sForwardStereo", Tape(R::Fps25, 8).Jump(4.0, 20.0), true, 2},
};

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
  const LtcSignalSpec& spec = c.spec;
  const testing::LtcSignal signal = testing::MakeLtcSignal(spec);
  LtcDecoder decoder(signal.sampleRate);
  const std::vector<DecodedFrame> frames = Decode(c, signal, decoder);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(decoder.Rate(), spec.rate);
  // A frame heard across a dropout is no frame.
  EXPECT_EQ(decoder.Counts().rejected, static_cast<int64_t>(spec.dropouts.size()));

  // Each decoded frame is one of the frames sent, in the order sent, and heard while audible.
  size_t ideal = 0;
  double worstMs = 0;
  for (const DecodedFrame& f : frames) {
    EXPECT_EQ(f.rate, spec.rate) << TimecodeText(f.label, f.rate);
    while (ideal < signal.frames.size() && !(signal.frames[ideal].label == f.label)) ++ideal;
    ASSERT_LT(ideal, signal.frames.size()) << "not sent, or out of order: " << TimecodeText(f.label, f.rate);
    const IdealFrame& sent = signal.frames[ideal++];
    EXPECT_TRUE(sent.audible) << TimecodeText(f.label, f.rate);
    worstMs = std::max(worstMs, std::fabs(f.heardMs - (kAnchorMs + sent.edgeMs)));
    if (c.clean) {
      EXPECT_NEAR(f.levelDbfs, spec.levelDbfs, 1.0) << TimecodeText(f.label, f.rate);
    }
  }
  if (c.clean) {
    EXPECT_LE(worstMs, 1.0);
  }
  // Nothing audible is lost but the frame the decoder locks on with and the one cut by a dropout.
  const auto audible =
      std::count_if(signal.frames.begin(), signal.frames.end(), [](const IdealFrame& f) { return f.audible; });
  EXPECT_LE(audible - static_cast<long>(frames.size()), static_cast<long>(1 + spec.dropouts.size()))
      << "decoded " << frames.size() << " of " << audible;

  // A dropout shows as a gap as long as itself; a jump as two frames heard one frame apart whose
  // labels are not.
  int gaps = 0, jumps = 0;
  const double frameMs = FrameDurationMs(spec.rate);
  for (size_t i = 1; i < frames.size(); ++i) {
    const double heardApart = frames[i].heardMs - frames[i - 1].heardMs;
    const int64_t labelsApart = FrameNumber(frames[i].label, spec.rate) - FrameNumber(frames[i - 1].label, spec.rate);
    if (heardApart > 1.5 * frameMs) {
      ++gaps;
      EXPECT_GE(heardApart, spec.dropouts.at(0).seconds * 1000.0);
    } else if (labelsApart != 1) {
      ++jumps;
      EXPECT_EQ(frames[i].label, spec.jumps.at(0).to);
    }
  }
  EXPECT_EQ(gaps, static_cast<int>(spec.dropouts.size()));
  EXPECT_EQ(jumps, static_cast<int>(spec.jumps.size()));
}

INSTANTIATE_TEST_SUITE_P(Signals, LtcDecodeTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A label the rate cannot count to (frame 26 at 25 frames a second) is thrown away, not handed on
// nor taken as a sign of 30.
TEST(LtcDecoder, RefusesLabelsTheRateCannotCount) {
  Tape tape(R::Fps25, 4);
  tape.jumps = {{2.0, {1, 0, 5, 26}}};
  const testing::LtcSignal signal = testing::MakeLtcSignal(tape);
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
