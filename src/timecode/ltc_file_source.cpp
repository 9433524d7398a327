#include "timecode/ltc_file_source.h"

#include <chrono>
#include <filesystem>
#include <vector>

#include "audio/decoded_stream.h"
#include "platform/clock.h"

namespace fd::timecode {

namespace {

// A hundredth of a second at a time: a real-time read hands its frames over no later than a
// capture device's buffer would.
constexpr uint32_t kSlicesPerSecond = 100;
// How often a real-time read looks at the clock while it waits for the next slice's moment.
constexpr int kPaceCheckMs = 2;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

std::unique_ptr<LtcFileSource> LtcFileSource::Open(const std::string& path, const SourceOptions& options,
                                                   std::string& error) {
  std::error_code failed;
  const auto status = std::filesystem::status(path, failed);
  if (!std::filesystem::exists(status)) {
    error = "file not found: " + Quoted(path);
    return nullptr;
  }
  if (!std::filesystem::is_regular_file(status)) {
    error = "not a regular file: " + Quoted(path);
    return nullptr;
  }
  if (!options.fullSpeed && options.clock == nullptr) {
    error = "a real-time read needs the show's clock";
    return nullptr;
  }
  std::string reason;
  std::unique_ptr<audio::DecodedStream> stream = audio::DecodedStream::Open(path, reason);
  if (stream == nullptr) {
    error = "not a sound file: " + Quoted(path) + " (" + reason + ")";
    return nullptr;
  }
  const int channels = stream->Format().Channels;
  if (options.channel != kMixChannels && (options.channel < 0 || options.channel >= channels)) {
    error = "no channel " + std::to_string(options.channel + 1) + " in " + Quoted(path) + " (it has " +
            std::to_string(channels) + ")";
    return nullptr;
  }
  return std::make_unique<LtcFileSource>(std::move(stream), options);
}

LtcFileSource::LtcFileSource(std::unique_ptr<audio::DecodedStream> stream, const SourceOptions& options)
    : TimecodeSource(options.queueFrames, options.fullSpeed), stream_(std::move(stream)), options_(options) {}

LtcFileSource::~LtcFileSource() { Stop(); }

double LtcFileSource::DurationSeconds() const {
  const audio::PcmFormat& format = stream_->Format();
  if (format.BlockAlign() == 0 || format.SampleRate == 0) return 0;
  return static_cast<double>(stream_->Size() / format.BlockAlign()) / format.SampleRate;
}

uint32_t LtcFileSource::SampleRate() const { return stream_->Format().SampleRate; }

int LtcFileSource::Channels() const { return stream_->Format().Channels; }

bool LtcFileSource::Start() {
  Stop();
  ResetState();
  stop_ = false;
  stream_->Seek(0);
  // The tape rolls now: its first sample is heard at this tick.
  const uint32_t startTick = options_.fullSpeed ? 0 : options_.clock->TickCount();
  const double anchorMs = options_.fullSpeed ? 0.0 : static_cast<double>(startTick);
  thread_ = std::thread([this, anchorMs, startTick] { Run(anchorMs, startTick); });
  return true;
}

void LtcFileSource::Stop() {
  {
    std::lock_guard lock(wakeMutex_);
    stop_ = true;
  }
  wake_.notify_all();
  CancelDelivery();
  if (thread_.joinable()) thread_.join();
}

bool LtcFileSource::WaitUntil(uint32_t startTick, double elapsedMs) {
  while (!stop_) {
    if (static_cast<double>(platform::TicksSince(startTick, options_.clock->TickCount())) >= elapsedMs) return true;
    std::unique_lock lock(wakeMutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(kPaceCheckMs), [this] { return stop_.load(); });
  }
  return false;
}

void LtcFileSource::Run(double anchorMs, uint32_t startTick) {
  const audio::PcmFormat format = stream_->Format();
  const int channels = format.Channels;
  const uint32_t rate = format.SampleRate;
  const int bytesPerSample = format.BitsPerSample / 8;
  LtcDecoder decoder(rate);
  decoder.SetAnchor({0, anchorMs});
  const uint32_t sliceFrames = rate / kSlicesPerSecond == 0 ? 1 : rate / kSlicesPerSecond;
  std::vector<uint8_t> bytes(static_cast<size_t>(sliceFrames) * format.BlockAlign());
  std::vector<int16_t> samples;
  int64_t position = 0;
  while (!stop_) {
    const int32_t got = stream_->Read(bytes.data(), static_cast<int32_t>(bytes.size()));
    const size_t frames = format.BlockAlign() == 0 ? 0 : static_cast<size_t>(got) / format.BlockAlign();
    if (frames == 0) break;
    // A slice is heard once all of it has played.
    if (!options_.fullSpeed &&
        !WaitUntil(startTick, static_cast<double>(position + static_cast<int64_t>(frames)) * 1000.0 / rate))
      break;
    samples.resize(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < samples.size(); ++i) {
      if (bytesPerSample == 1) {
        samples[i] = static_cast<int16_t>((static_cast<int>(bytes[i]) - 128) * 256);
      } else {
        samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
      }
    }
    decoder.Write(samples.data(), frames, channels, options_.channel, position);
    position += static_cast<int64_t>(frames);
    SetLevel(decoder.RecentPeakDbfs(), decoder.Counts().rejected);
    if (!Deliver(decoder.TakeFrames())) break;
  }
  Finish();
}

}  // namespace fd::timecode
