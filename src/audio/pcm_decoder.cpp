#include "audio/pcm_decoder.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace fd::audio {

namespace {

struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct SwrFree {
  void operator()(SwrContext* s) const { swr_free(&s); }
};

bool IsEightBit(int sampleFormat) { return sampleFormat == AV_SAMPLE_FMT_U8 || sampleFormat == AV_SAMPLE_FMT_U8P; }

// The most PCM a soundtrack of this shape may decode to: kMaxSoundtrackSeconds of it, and never
// more than its byte length can count.
int64_t MaxPcmBytes(uint32_t sampleRate, uint16_t blockAlign) {
  return std::min<int64_t>(kMaxPcmBytes, int64_t{kMaxSoundtrackSeconds} * sampleRate * blockAlign);
}

// The whole file is decoded into memory at opening, so what it would decode to is weighed first,
// from the length its container states (or estimates from the bit rate): a 1 Hz WAV or fifty
// megabytes of silent MP3 frames would otherwise take gigabytes and many seconds before the
// length check while decoding could stop them.
bool FitsBeforeDecoding(const AVFormatContext* container, const AVStream* stream, std::string& error) {
  const AVCodecParameters* par = stream->codecpar;
  if ((par->sample_rate > 0 && par->sample_rate < kMinSampleRate) || par->sample_rate > kMaxSampleRate) {
    error = "неподдерживаемая частота дискретизации (" + std::to_string(par->sample_rate) + " Гц)";
    return false;
  }
  double seconds = 0;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
    seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
  else if (container->duration != AV_NOPTS_VALUE && container->duration > 0)
    seconds = static_cast<double>(container->duration) / AV_TIME_BASE;
  // A header may claim more than the file holds (a WAV written as a stream says 4 GB): at the
  // stream's bit rate the file's own size is the most it can play.
  const int64_t fileBytes = container->pb != nullptr ? avio_size(container->pb) : -1;
  if (par->bit_rate > 0 && fileBytes > 0)
    seconds = std::min(seconds, static_cast<double>(fileBytes) * 8 / static_cast<double>(par->bit_rate));
  const int channels = std::max(par->ch_layout.nb_channels, 1);
  const int bytes = IsEightBit(par->format) ? 1 : 2;
  const double pcmBytes = seconds * std::max(par->sample_rate, 0) * channels * bytes;
  if (seconds > kMaxSoundtrackSeconds || pcmBytes > static_cast<double>(kMaxPcmBytes)) {
    const auto minutes = static_cast<int64_t>(seconds / 60);
    error = "слишком длинная (" + std::to_string(minutes / 60) + " ч " + std::to_string(minutes % 60) + " мин, " +
            (seconds > kMaxSoundtrackSeconds ? "наибольшая " + std::to_string(kMaxSoundtrackSeconds / 3600) + " ч)"
                                             : "больше 2 ГБ звука)");
    return false;
  }
  return true;
}

// Turns each decoded frame into interleaved PCM of one fixed format and appends it.
class FrameWriter {
 public:
  FrameWriter(PcmFormat& format, PcmBuffer& pcm, std::string& error) : format_(format), pcm_(pcm), error_(error) {}
  ~FrameWriter() { av_channel_layout_uninit(&layout_); }

  bool Write(const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    if (!started_) {
      if (channels <= 0 || frame->sample_rate <= 0) return Fail("нет звука в файле");
      format_.Channels = static_cast<uint16_t>(channels);
      format_.SampleRate = static_cast<uint32_t>(frame->sample_rate);
      format_.BitsPerSample = IsEightBit(frame->format) ? 8 : 16;
      outFormat_ = format_.BitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
      if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&layout_, channels);
      } else if (av_channel_layout_copy(&layout_, &frame->ch_layout) < 0) {
        return Fail("недостаточно памяти");
      }
      started_ = true;
    }
    // Rate or channel changes would make byte positions mean different times in different parts.
    if (channels != format_.Channels || static_cast<uint32_t>(frame->sample_rate) != format_.SampleRate) {
      return Fail("формат звука меняется внутри файла");
    }
    if (!swr_ || frame->format != inFormat_) {
      SwrContext* s = nullptr;
      if (swr_alloc_set_opts2(&s, &layout_, outFormat_, frame->sample_rate, &layout_,
                              static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
          swr_init(s) < 0) {
        swr_free(&s);
        return Fail("неподдерживаемый формат отсчётов");
      }
      swr_.reset(s);
      inFormat_ = frame->format;
    }
    const int64_t bytes = static_cast<int64_t>(frame->nb_samples) * format_.BlockAlign();
    // The length was weighed before decoding; this holds when the file's header understated it.
    if (pcm_.Size() + bytes > MaxPcmBytes(format_.SampleRate, format_.BlockAlign())) return Fail("слишком длинная");
    out_.resize(static_cast<size_t>(bytes));
    uint8_t* outPlanes[1] = {out_.data()};
    const int converted = swr_convert(swr_.get(), outPlanes, frame->nb_samples,
                                      const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (converted < 0) return Fail("неподдерживаемый формат отсчётов");
    pcm_.Append(out_.data(), static_cast<int64_t>(converted) * format_.BlockAlign());
    return true;
  }

  bool Started() const { return started_; }

 private:
  bool Fail(const char* why) {
    error_ = why;
    return false;
  }

  PcmFormat& format_;
  PcmBuffer& pcm_;
  std::string& error_;
  bool started_ = false;
  AVChannelLayout layout_{};
  AVSampleFormat outFormat_ = AV_SAMPLE_FMT_S16;
  int inFormat_ = AV_SAMPLE_FMT_NONE;
  std::unique_ptr<SwrContext, SwrFree> swr_;
  std::vector<uint8_t> out_;
};

// Takes every frame the decoder has ready; false only on a failure that ends decoding.
bool DrainFrames(AVCodecContext* codec, AVFrame* frame, FrameWriter& writer, std::string& error) {
  for (;;) {
    const int rc = avcodec_receive_frame(codec, frame);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc == AVERROR_INVALIDDATA) continue;  // a damaged frame: dropped like a damaged packet
    if (rc < 0) {
      error = "повреждённый файл";
      return false;
    }
    const bool written = writer.Write(frame);
    av_frame_unref(frame);
    if (!written) return false;
  }
}

}  // namespace

bool DecodeToPcm(AVFormatContext* container, PcmFormat& format, PcmBuffer& pcm, std::string& error) {
  const AVCodec* decoder = nullptr;
  const int index = av_find_best_stream(container, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (index == AVERROR_STREAM_NOT_FOUND) {
    error = "нет звуковой дорожки";
    return false;
  }
  if (index < 0 || decoder == nullptr) {
    error = "неподдерживаемый кодек";
    return false;
  }
  if (!FitsBeforeDecoding(container, container->streams[index], error)) return false;
  std::unique_ptr<AVCodecContext, CodecFree> codec(avcodec_alloc_context3(decoder));
  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  if (!codec || !packet || !frame) {
    error = "недостаточно памяти";
    return false;
  }
  if (avcodec_parameters_to_context(codec.get(), container->streams[index]->codecpar) < 0 ||
      avcodec_open2(codec.get(), decoder, nullptr) < 0) {
    error = "неподдерживаемый кодек";
    return false;
  }

  FrameWriter writer(format, pcm, error);
  int rc = 0;
  while ((rc = av_read_frame(container, packet.get())) >= 0) {
    if (packet->stream_index == index) {
      // A damaged packet is dropped, as any player would; the rest of the file still plays (a few
      // tens of milliseconds early, the length of what was lost).
      int sent = avcodec_send_packet(codec.get(), packet.get());
      while (sent == AVERROR(EAGAIN)) {  // the decoder wants its frames taken first
        if (!DrainFrames(codec.get(), frame.get(), writer, error)) return false;
        sent = avcodec_send_packet(codec.get(), packet.get());
      }
      av_packet_unref(packet.get());
      if (sent < 0 && sent != AVERROR_INVALIDDATA) {
        error = "повреждённый файл";
        return false;
      }
      if (!DrainFrames(codec.get(), frame.get(), writer, error)) return false;
    } else {
      av_packet_unref(packet.get());
    }
  }
  if (rc != AVERROR_EOF) {
    error = "не удаётся прочитать файл до конца";
    return false;
  }
  avcodec_send_packet(codec.get(), nullptr);
  if (!DrainFrames(codec.get(), frame.get(), writer, error)) return false;

  if (!writer.Started()) {
    // No samples at all: the format still comes from the stream, so an empty file is an empty
    // soundtrack rather than an unknown one.
    const int channels = codec->ch_layout.nb_channels;
    if (channels <= 0 || codec->sample_rate <= 0) {
      error = "нет звука в файле";
      return false;
    }
    format.Channels = static_cast<uint16_t>(channels);
    format.SampleRate = static_cast<uint32_t>(codec->sample_rate);
    format.BitsPerSample = IsEightBit(codec->sample_fmt) ? 8 : 16;
  }
  return true;
}

}  // namespace fd::audio
