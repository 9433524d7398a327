// Timecode sources: the operator's source texts, the refusals, and sound files read at full speed
// and at the pace of a tape on the show's clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/virtual_platform.h"
#include "timecode/ltc_capture_source.h"
#include "timecode/ltc_file_source.h"
#include "timecode/ltc_signal.h"
#include "timecode/ltc_source.h"

namespace fd::timecode {
namespace {

namespace fs = std::filesystem;

std::string Folder() {
  const fs::path folder = fs::path(::testing::TempDir()) / "ltc_source_test";
  fs::create_directories(folder);
  return folder.string() + "/";
}

struct SpecCase {
  const char* text;
  bool parses;
  SourceSpec::Kind kind;
  const char* nameOrError;
};

TEST(SourceSpec, CaptureDevicesAndFiles) {
  const SpecCase cases[] = {
      {"capture", true, SourceSpec::Kind::Capture, ""},
      {"capture:USB Audio CODEC", true, SourceSpec::Kind::Capture, "USB Audio CODEC"},
      {"show/ltc.wav", true, SourceSpec::Kind::File, "show/ltc.wav"},
      {"./capture", true, SourceSpec::Kind::File, "./capture"},
      {"Capture", true, SourceSpec::Kind::File, "Capture"},
      {"", false, SourceSpec::Kind::File, "no timecode source given (a sound file, capture or capture:NAME)"},
      {"capture:", false, SourceSpec::Kind::File, "capture: needs a device name (capture alone is the default device)"},
  };
  for (const SpecCase& c : cases) {
    std::string error;
    const auto spec = ParseSourceSpec(c.text, error);
    ASSERT_EQ(spec.has_value(), c.parses) << c.text;
    if (!c.parses) {
      EXPECT_EQ(error, c.nameOrError);
      continue;
    }
    EXPECT_EQ(spec->kind, c.kind) << c.text;
    EXPECT_EQ(spec->name, c.nameOrError);
    EXPECT_EQ(SourceSpecText(*spec), c.text);
  }
}

TEST(SourceSpec, RefusalsNameTheReason) {
  const std::string folder = Folder();
  std::ofstream(folder + "notes.txt") << "not a sound at all\n";
  testing::LtcSignalSpec spec;
  spec.seconds = 1;
  ASSERT_TRUE(testing::WriteWav(folder + "mono.wav", testing::MakeLtcSignal(spec).samples, 48000));
  platform::VirtualClock clock;

  struct RefusalCase {
    std::string source;
    int channel;
    std::string error;  // the whole text, or its start when it ends in "("
  };
  const std::vector<RefusalCase> cases = {
      {folder + "nope.wav", kMixChannels, "file not found: \"" + folder + "nope.wav\""},
      {folder, kMixChannels, "not a regular file: \"" + folder + "\""},
      {folder + "notes.txt", kMixChannels, "not a sound file: \"" + folder + "notes.txt\" ("},
      {folder + "mono.wav", 2, "no channel 3 in \"" + folder + "mono.wav\" (it has 1)"},
      {"capture:No Such Card", kMixChannels, NoCaptureDeviceText("No Such Card", CaptureDeviceNames())},
  };
  for (const RefusalCase& c : cases) {
    std::string error;
    const auto parsed = ParseSourceSpec(c.source, error);
    ASSERT_TRUE(parsed);
    SourceOptions options;
    options.clock = &clock;
    options.channel = c.channel;
    EXPECT_EQ(OpenTimecodeSource(*parsed, options, error), nullptr) << c.source;
    if (c.error.back() == '(') {
      EXPECT_EQ(error.substr(0, c.error.size()), c.error);
      EXPECT_EQ(error.back(), ')') << error;
    } else {
      EXPECT_EQ(error, c.error);
    }
  }
  EXPECT_EQ(NoCaptureDeviceText("Line", {}), "no capture device \"Line\" (there are no capture devices)");
  EXPECT_EQ(NoCaptureDeviceText("Line", {"USB Audio", "HDA Intel PCH"}),
            "no capture device \"Line\" (capture devices: \"USB Audio\", \"HDA Intel PCH\")");
}

// Read at full speed through a queue of eight: the reader waits for the taker, nothing is lost,
// and heard times count from the file's start. The timecode is on the second channel of two.
TEST(LtcFileSource, FullSpeedLosesNothing) {
  const std::string path = Folder() + "stereo.wav";
  testing::LtcSignalSpec spec;
  spec.seconds = 3;
  const testing::LtcSignal signal = testing::MakeLtcSignal(spec);
  ASSERT_TRUE(testing::WriteWav(path, signal.samples, signal.sampleRate, 2, 1));
  SourceOptions options;
  options.fullSpeed = true;
  options.channel = 1;
  options.queueFrames = 8;
  std::string error;
  auto source = LtcFileSource::Open(path, options, error);
  ASSERT_NE(source, nullptr) << error;
  EXPECT_DOUBLE_EQ(source->DurationSeconds(), 3.0);
  ASSERT_TRUE(source->Start());
  std::vector<DecodedFrame> frames;
  while (!(source->Finished())) {
    source->WaitForFrames(100);
    for (const DecodedFrame& f : source->TakeFrames()) frames.push_back(f);
  }
  for (const DecodedFrame& f : source->TakeFrames()) frames.push_back(f);
  EXPECT_EQ(source->Error(), "");
  EXPECT_EQ(source->FramesDropped(), 0);
  // The last frame ends where the file does: the edge that would close it is not in the file.
  ASSERT_EQ(frames.size(), signal.frames.size() - 1);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].label, signal.frames[i].label);
    EXPECT_NEAR(frames[i].heardMs, signal.frames[i].edgeMs, 1.0);
  }
  EXPECT_NEAR(source->LevelDbfs(), -3.0, 1.0);
}

// A tape rolled on cue: the first sample is heard at the tick Start saw, and no frame comes out
// before the clock has passed its end.
TEST(LtcFileSource, RealTimeFollowsTheShowClock) {
  const std::string path = Folder() + "tape.wav";
  testing::LtcSignalSpec spec;
  spec.rate = FrameRate::Fps2997Drop;
  spec.seconds = 3;
  const testing::LtcSignal signal = testing::MakeLtcSignal(spec);
  ASSERT_TRUE(testing::WriteWav(path, signal.samples, signal.sampleRate));
  platform::VirtualClock clock(4294966000u);  // wraps a second into the tape
  SourceOptions options;
  options.clock = &clock;
  std::string error;
  auto source = LtcFileSource::Open(path, options, error);
  ASSERT_NE(source, nullptr) << error;
  ASSERT_TRUE(source->Start());
  const double rolledMs = 4294966000.0;

  std::vector<DecodedFrame> frames;
  const auto takeFor = [&](int realMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    while (std::chrono::steady_clock::now() < until) {
      source->WaitForFrames(10);
      for (const DecodedFrame& f : source->TakeFrames()) frames.push_back(f);
    }
  };
  takeFor(100);
  EXPECT_TRUE(frames.empty()) << "heard before the clock moved";
  clock.Sleep(2000);
  takeFor(300);
  // Frames ending by 2000 ms: 59 whole frames at 33.37 ms, the first heard at the roll.
  ASSERT_EQ(frames.size(), 59u);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].label, signal.frames[i].label);
    EXPECT_NEAR(frames[i].heardMs, rolledMs + signal.frames[i].edgeMs, 1.0);
    EXPECT_LE(frames[i].heardMs + FrameDurationMs(FrameRate::Fps2997Drop), rolledMs + 2000.0 + 1.0);
  }
  source->Stop();
  clock.Sleep(1000);
  const size_t before = frames.size();
  takeFor(50);
  EXPECT_EQ(frames.size(), before) << "heard after Stop";
  EXPECT_TRUE(source->Finished());
}

}  // namespace
}  // namespace fd::timecode
