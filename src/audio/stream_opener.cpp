#include "audio/stream_opener.h"

#include <cctype>
#include <filesystem>
#include <system_error>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

namespace fd::audio {

namespace {

std::string UpperExtension(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = fileName.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

std::string ErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// Why the file could not be opened, in the words of the operator's log.
std::string OpenErrorText(int code) {
  if (code == AVERROR(ENOENT)) return "файл не найден";
  if (code == AVERROR(EACCES) || code == AVERROR(EPERM)) return "нет доступа к файлу";
  if (code == AVERROR_INVALIDDATA) return "неизвестный формат";
  // What the container list below turns away (a playlist, a concatenation list, a video file).
  if (code == AVERROR(EINVAL)) return "неподдерживаемый формат";
  return "не удаётся открыть файл (" + ErrorText(code) + ")";
}

// The containers a soundtrack may come in: WAV, MP3 (also MP1 and MP2) and Windows Media, and the
// AIFF and Ogg files the old audio library played as well. None of them names other files, so a
// soundtrack never makes the decoder open anything but itself: a playlist (HLS, a concatenation
// list) that could point at a named pipe or a device is refused before it is read.
constexpr const char* kSoundtrackContainers = "wav,mp3,asf,aiff,ogg";

AVFormatContext* OpenWith(const std::string& fileName, const AVInputFormat* demuxer, std::string& error) {
  // A named pipe would hold the operator's window until someone writes to it, and a folder or a
  // device is no soundtrack: only regular files (or links to them) are opened.
  std::error_code statError;
  if (!std::filesystem::is_regular_file(fileName, statError)) {
    if (statError == std::errc::no_such_file_or_directory)
      error = "файл не найден";
    else if (statError == std::errc::permission_denied)
      error = "нет доступа к файлу";
    else
      error = statError ? "не удаётся открыть файл (" + statError.message() + ")" : "не обычный файл";
    return nullptr;
  }
  // The "file:" prefix and the protocol list keep a name such as "http:x.mp3" (or a playlist inside
  // a file) from reaching anything but the local file system.
  const std::string url = "file:" + fileName;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  av_dict_set(&options, "format_whitelist", kSoundtrackContainers, 0);
  AVFormatContext* context = nullptr;
  int rc = avformat_open_input(&context, url.c_str(), demuxer, &options);
  av_dict_free(&options);
  if (rc < 0) {
    error = OpenErrorText(rc);
    return nullptr;
  }
  rc = avformat_find_stream_info(context, nullptr);
  if (rc < 0) {
    error = "повреждённый файл (" + ErrorText(rc) + ")";
    avformat_close_input(&context);
    return nullptr;
  }
  return context;
}

}  // namespace

StreamKind KindForFileName(const std::string& fileName) {
  return UpperExtension(fileName) == ".WMA" ? StreamKind::Wma : StreamKind::General;
}

AVFormatContext* OpenGeneralStream(const std::string& fileName, std::string& error) {
  return OpenWith(fileName, nullptr, error);
}

AVFormatContext* OpenWmaStream(const std::string& fileName, std::string& error) {
  // Windows Media audio lives in an ASF container; nothing else is accepted under that name.
  const AVInputFormat* asf = av_find_input_format("asf");
  if (asf == nullptr) {
    error = "нет поддержки Windows Media в этой сборке";
    return nullptr;
  }
  return OpenWith(fileName, asf, error);
}

}  // namespace fd::audio
