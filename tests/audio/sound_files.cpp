#include "audio/sound_files.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace fd::audio::testing {

namespace {
// Before any audio object exists: the tests never make a sound and never need a sound card.
const bool kDummyOutput = (setenv("SDL_AUDIODRIVER", "dummy", 1), true);
}  // namespace

int16_t Ramp16(int64_t frame, int channel) { return static_cast<int16_t>((frame * 2 + channel) & 0xFFFF); }
uint8_t Ramp8(int64_t frame) { return static_cast<uint8_t>(frame & 0xFF); }

namespace {

void Put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

}  // namespace

std::string RampBytes(int channels, int bits, int64_t byte, int64_t count) {
  const int frameBytes = channels * bits / 8;
  std::string all;
  for (int64_t frame = byte / frameBytes; static_cast<int64_t>(all.size()) < count + frameBytes; ++frame) {
    for (int c = 0; c < channels; ++c) {
      if (bits == 8) {
        all += static_cast<char>(Ramp8(frame));
      } else {
        Put16(all, static_cast<uint16_t>(Ramp16(frame, c)));
      }
    }
  }
  return all.substr(static_cast<size_t>(byte % frameBytes), static_cast<size_t>(count));
}

void WriteRampWav(const std::string& path, int channels, int sampleRate, int bits, int64_t frames) {
  const uint32_t data = static_cast<uint32_t>(frames * channels * bits / 8);
  std::string out = "RIFF";
  Put32(out, 36 + data);
  out += "WAVEfmt ";
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(channels));
  Put32(out, static_cast<uint32_t>(sampleRate));
  Put32(out, static_cast<uint32_t>(sampleRate * channels * bits / 8));
  Put16(out, static_cast<uint16_t>(channels * bits / 8));
  Put16(out, static_cast<uint16_t>(bits));
  out += "data";
  Put32(out, data);
  out += RampBytes(channels, bits, 0, data);
  std::ofstream file(path, std::ios::binary);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

namespace {

struct Encoder {
  AVFormatContext* container = nullptr;
  AVCodecContext* codec = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  AVStream* stream = nullptr;
  ~Encoder() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    if (container != nullptr) {
      if (container->pb != nullptr) avio_closep(&container->pb);
      avformat_free_context(container);
    }
  }

  bool Drain() {
    while (avcodec_receive_packet(codec, packet) == 0) {
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(container, packet) < 0) return false;
    }
    return true;
  }
};

// Planar float: what both test encoders (MP3 and Windows Media) take.
void FillTone(AVFrame* frame, int64_t firstSample, int sampleRate) {
  for (int i = 0; i < frame->nb_samples; ++i) {
    const double v = 0.5 * std::sin(2 * M_PI * 440.0 * static_cast<double>(firstSample + i) / sampleRate);
    for (int c = 0; c < frame->ch_layout.nb_channels; ++c) reinterpret_cast<float*>(frame->data[c])[i] = float(v);
  }
}

}  // namespace

std::string EncodeTone(const std::string& path, const char* muxer, const char* encoder, int channels, int sampleRate,
                       double seconds) {
  const AVCodec* codec = avcodec_find_encoder_by_name(encoder);
  if (codec == nullptr) return std::string("this FFmpeg has no \"") + encoder + "\" encoder";
  Encoder e;
  if (avformat_alloc_output_context2(&e.container, nullptr, muxer, path.c_str()) < 0 || e.container == nullptr) {
    return std::string("this FFmpeg has no \"") + muxer + "\" muxer";
  }
  e.stream = avformat_new_stream(e.container, nullptr);
  e.codec = avcodec_alloc_context3(codec);
  e.frame = av_frame_alloc();
  e.packet = av_packet_alloc();
  if (e.stream == nullptr || e.codec == nullptr || e.frame == nullptr || e.packet == nullptr) return "out of memory";
  e.codec->sample_rate = sampleRate;
  av_channel_layout_default(&e.codec->ch_layout, channels);
  e.codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
  e.codec->bit_rate = 128000;
  e.codec->time_base = AVRational{1, sampleRate};
  if (e.container->oformat->flags & AVFMT_GLOBALHEADER) e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(e.codec, codec, nullptr) < 0) return std::string("cannot open the ") + encoder + " encoder";
  if (avcodec_parameters_from_context(e.stream->codecpar, e.codec) < 0) return "cannot describe the stream";
  e.stream->time_base = e.codec->time_base;
  if (avio_open(&e.container->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return "cannot create " + path;
  if (avformat_write_header(e.container, nullptr) < 0) return "cannot write the header";

  const int frameSize = e.codec->frame_size > 0 ? e.codec->frame_size : 1024;
  // Whole encoder frames only: not every encoder takes a short last one.
  const int64_t total = static_cast<int64_t>(seconds * sampleRate);
  for (int64_t at = 0; at < total; at += frameSize) {
    av_frame_unref(e.frame);
    e.frame->nb_samples = frameSize;
    e.frame->format = e.codec->sample_fmt;
    e.frame->sample_rate = sampleRate;
    if (av_channel_layout_copy(&e.frame->ch_layout, &e.codec->ch_layout) < 0 || av_frame_get_buffer(e.frame, 0) < 0) {
      return "out of memory";
    }
    FillTone(e.frame, at, sampleRate);
    e.frame->pts = at;
    if (avcodec_send_frame(e.codec, e.frame) < 0 || !e.Drain()) return "encoding failed";
  }
  if (avcodec_send_frame(e.codec, nullptr) < 0 || !e.Drain()) return "encoding failed";
  if (av_write_trailer(e.container) < 0) return "cannot finish the file";
  return {};
}

const SoundSet& Sounds() {
  static SoundSet set;
  static const bool made = [](SoundSet& s) {
    (void)kDummyOutput;
    s.Ramp16 = s.Dir / "ramp16.wav";
    WriteRampWav(s.Ramp16, 2, 44100, 16, 110250);
    s.Ramp8 = s.Dir / "ramp8.wav";
    WriteRampWav(s.Ramp8, 1, 22050, 8, 22050);
    s.Mp3Skip = EncodeTone(s.Dir / "tone.mp3", "mp3", "libmp3lame", 2, 44100, 2.5);
    if (s.Mp3Skip.empty()) s.Mp3 = s.Dir / "tone.mp3";
    s.WmaSkip = EncodeTone(s.Dir / "tone.wma", "asf", "wmav2", 2, 44100, 2.5);
    if (s.WmaSkip.empty()) s.Wma = s.Dir / "tone.wma";
    return true;
  }(set);
  (void)made;
  return set;
}

}  // namespace fd::audio::testing
