#include "timecode/ltc_signal.h"

#include <ltc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace fd::testing {

namespace {

using timecode::FrameRate;
using timecode::Timecode;

double TrueFps(FrameRate rate) {
  return rate == FrameRate::Fps2997Drop ? 30000.0 / 1001.0 : static_cast<double>(timecode::NominalFrames(rate));
}

LTC_TV_STANDARD StandardOf(FrameRate rate) {
  switch (rate) {
    case FrameRate::Fps25:
      return LTC_TV_625_50;
    case FrameRate::Fps24:
      return LTC_TV_FILM_24;
    default:
      return LTC_TV_525_60;
  }
}

void SetLabel(LTCEncoder* encoder, const Timecode& label) {
  SMPTETimecode time{};
  time.hours = static_cast<unsigned char>(label.hours);
  time.mins = static_cast<unsigned char>(label.minutes);
  time.secs = static_cast<unsigned char>(label.seconds);
  time.frame = static_cast<unsigned char>(label.frames);
  ltc_encoder_set_timecode(encoder, &time);
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

Timecode LabelAfter(const Timecode& label, FrameRate rate, double seconds) {
  const int64_t frames = std::llround(seconds * TrueFps(rate));
  return timecode::LabelOfFrame(timecode::FrameNumber(label, rate) + frames, rate);
}

LtcSignal MakeLtcSignal(const LtcSignalSpec& spec) {
  LtcSignal signal;
  signal.sampleRate = spec.sampleRate;
  // A fast clock packs more frames into each true second: the encoder is told of fewer samples a
  // second than the file has, so every frame comes out shorter by the error.
  const double clockFactor = 1.0 + spec.clockErrorPpm * 1e-6;
  const double encodeRate = spec.sampleRate / clockFactor;
  const double fps = TrueFps(spec.rate);
  LTCEncoder* encoder = ltc_encoder_create(encodeRate, fps, StandardOf(spec.rate), 0);
  ltc_encoder_set_volume(encoder, spec.levelDbfs);
  SetLabel(encoder, spec.start);

  const size_t total = static_cast<size_t>(std::llround(spec.seconds * spec.sampleRate));
  std::vector<double> wave;
  wave.reserve(total + spec.sampleRate / 20);
  std::vector<LtcJump> jumps = spec.jumps;
  std::sort(jumps.begin(), jumps.end(), [](const LtcJump& a, const LtcJump& b) { return a.atSeconds < b.atSeconds; });
  size_t nextJump = 0;
  while (wave.size() < total) {
    const double edgeMs = wave.size() * 1000.0 / spec.sampleRate;
    if (nextJump < jumps.size() && edgeMs >= jumps[nextJump].atSeconds * 1000.0 - 1e-9) {
      SetLabel(encoder, jumps[nextJump].to);
      ++nextJump;
    }
    SMPTETimecode time{};
    ltc_encoder_get_timecode(encoder, &time);
    signal.frames.push_back({Timecode{time.hours, time.mins, time.secs, time.frame}, edgeMs, true});
    ltc_encoder_encode_frame(encoder);
    ltcsnd_sample_t* buffer = nullptr;
    const int count = ltc_encoder_get_bufferptr(encoder, &buffer, 1);
    // 8-bit unsigned around 128, as the encoder makes it; its full scale is 127 steps.
    for (int i = 0; i < count; ++i) wave.push_back((static_cast<int>(buffer[i]) - 128) / 127.0);
    ltc_encoder_inc_timecode(encoder);
  }
  ltc_encoder_free(encoder);
  wave.resize(total);
  // The last frame may be cut by the end of the signal: it is not there to be heard.
  while (!signal.frames.empty() &&
         signal.frames.back().edgeMs + 1000.0 / (fps * clockFactor) > spec.seconds * 1000.0 + 1e-6)
    signal.frames.pop_back();

  if (spec.snrDb) {
    double power = 0;
    for (double v : wave) power += v * v;
    power /= std::max<size_t>(1, wave.size());
    const double sigma = std::sqrt(power / std::pow(10.0, *spec.snrDb / 10.0));
    std::mt19937 random(1234);
    std::normal_distribution<double> noise(0.0, sigma);
    for (double& v : wave) v += noise(random);
  }
  for (const LtcDropout& dropout : spec.dropouts) {
    const double fromMs = dropout.atSeconds * 1000.0, toMs = (dropout.atSeconds + dropout.seconds) * 1000.0;
    const size_t from = std::min(total, static_cast<size_t>(std::llround(dropout.atSeconds * spec.sampleRate)));
    const size_t to =
        std::min(total, static_cast<size_t>(std::llround((dropout.atSeconds + dropout.seconds) * spec.sampleRate)));
    std::fill(wave.begin() + static_cast<std::ptrdiff_t>(from), wave.begin() + static_cast<std::ptrdiff_t>(to), 0.0);
    const double frameMs = 1000.0 / (fps * clockFactor);
    for (IdealFrame& frame : signal.frames)
      if (frame.edgeMs < toMs && frame.edgeMs + frameMs > fromMs) frame.audible = false;
  }
  signal.samples.resize(total);
  for (size_t i = 0; i < total; ++i)
    signal.samples[i] = static_cast<int16_t>(std::clamp(std::lround(wave[i] * 32767.0), -32768L, 32767L));
  return signal;
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& mono, uint32_t sampleRate, int channels,
              int onChannel) {
  std::vector<uint8_t> bytes;
  const uint32_t dataBytes = static_cast<uint32_t>(mono.size() * 2 * static_cast<size_t>(channels));
  bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
  PutLe(bytes, 36 + dataBytes, 4);
  bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(bytes, 16, 4);
  PutLe(bytes, 1, 2);  // PCM
  PutLe(bytes, static_cast<uint32_t>(channels), 2);
  PutLe(bytes, sampleRate, 4);
  PutLe(bytes, sampleRate * 2 * static_cast<uint32_t>(channels), 4);
  PutLe(bytes, 2 * static_cast<uint32_t>(channels), 2);
  PutLe(bytes, 16, 2);
  bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
  PutLe(bytes, dataBytes, 4);
  for (size_t i = 0; i < mono.size(); ++i) {
    const double tone = 0.5 * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i) / sampleRate);
    for (int c = 0; c < channels; ++c) {
      const int16_t value = c == onChannel ? mono[i] : static_cast<int16_t>(std::lround(tone * 32767.0));
      PutLe(bytes, static_cast<uint16_t>(value), 2);
    }
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace fd::testing
