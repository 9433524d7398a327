#include "audio/pcm_decoder.h"

#include <memory>
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

// Turns each decoded frame into interleaved PCM of one fixed format and appends it.
class FrameWriter {
 public:
  FrameWriter(PcmFormat& format, PcmBuffer& pcm, std::string& error) : format_(format), pcm_(pcm), error_(error) {}
  ~FrameWriter() { av_channel_layout_uninit(&layout_); }

  bool Write(const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    if (!started_) {
      if (channels <= 0 || frame->sample_rate <= 0) return Fail("the decoder gives no channels or rate");
      format_.Channels = static_cast<uint16_t>(channels);
      format_.SampleRate = static_cast<uint32_t>(frame->sample_rate);
      format_.BitsPerSample = IsEightBit(frame->format) ? 8 : 16;
      outFormat_ = format_.BitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
      if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&layout_, channels);
      } else if (av_channel_layout_copy(&layout_, &frame->ch_layout) < 0) {
        return Fail("cannot copy the channel layout");
      }
      started_ = true;
    }
    // Rate or channel changes would make byte positions mean different times in different parts.
    if (channels != format_.Channels || static_cast<uint32_t>(frame->sample_rate) != format_.SampleRate) {
      return Fail("the sound format changes inside the file");
    }
    if (!swr_ || frame->format != inFormat_) {
      SwrContext* s = nullptr;
      if (swr_alloc_set_opts2(&s, &layout_, outFormat_, frame->sample_rate, &layout_,
                              static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
          swr_init(s) < 0) {
        swr_free(&s);
        return Fail("cannot convert the sample format");
      }
      swr_.reset(s);
      inFormat_ = frame->format;
    }
    const int64_t bytes = static_cast<int64_t>(frame->nb_samples) * format_.BlockAlign();
    if (pcm_.Size() + bytes > kMaxPcmBytes) return Fail("the soundtrack is too long");
    out_.resize(static_cast<size_t>(bytes));
    uint8_t* outPlanes[1] = {out_.data()};
    const int converted = swr_convert(swr_.get(), outPlanes, frame->nb_samples,
                                      const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (converted < 0) return Fail("sample conversion failed");
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
      error = "the decoder failed";
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
  if (index < 0 || decoder == nullptr) {
    error = "no audio stream the decoder knows";
    return false;
  }
  std::unique_ptr<AVCodecContext, CodecFree> codec(avcodec_alloc_context3(decoder));
  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  if (!codec || !packet || !frame) {
    error = "out of memory";
    return false;
  }
  if (avcodec_parameters_to_context(codec.get(), container->streams[index]->codecpar) < 0 ||
      avcodec_open2(codec.get(), decoder, nullptr) < 0) {
    error = "the decoder refuses the stream";
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
        error = "the decoder failed";
        return false;
      }
      if (!DrainFrames(codec.get(), frame.get(), writer, error)) return false;
    } else {
      av_packet_unref(packet.get());
    }
  }
  if (rc != AVERROR_EOF) {
    error = "cannot read the file to its end";
    return false;
  }
  avcodec_send_packet(codec.get(), nullptr);
  if (!DrainFrames(codec.get(), frame.get(), writer, error)) return false;

  if (!writer.Started()) {
    // No samples at all: the format still comes from the stream, so an empty file is an empty
    // soundtrack rather than an unknown one.
    const int channels = codec->ch_layout.nb_channels;
    if (channels <= 0 || codec->sample_rate <= 0) {
      error = "no sound in the file";
      return false;
    }
    format.Channels = static_cast<uint16_t>(channels);
    format.SampleRate = static_cast<uint32_t>(codec->sample_rate);
    format.BitsPerSample = IsEightBit(codec->sample_fmt) ? 8 : 16;
  }
  return true;
}

}  // namespace fd::audio
