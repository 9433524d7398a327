#include "import/text_decoding.h"

#include <iconv.h>

#include <cerrno>

namespace fd::import {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

class Converter {
 public:
  explicit Converter(const std::string& from) : cd_(iconv_open("UTF-8", from.c_str())) {}
  ~Converter() {
    if (Valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Every byte sequence iconv refuses becomes one U+FFFD; unitBytes is how far to step over it.
void Convert(const Converter& cd, std::string_view in, size_t unitBytes, DecodedText& out) {
  out.Utf8.clear();
  out.Utf8.reserve(in.size() + in.size() / 2);
  char buffer[64 * 1024];
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t rc = iconv(cd.Get(), &src, &left, &dst, &room);
    out.Utf8.append(buffer, static_cast<size_t>(dst - buffer));
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    out.Utf8 += kReplacement;
    ++out.Invalid;
    const size_t skip = errno == EINVAL || left < unitBytes ? left : unitBytes;
    src += skip;
    left -= skip;
  }
}

bool ValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    if (c >= 0xC2 && c <= 0xDF)
      length = 2;
    else if (c >= 0xE0 && c <= 0xEF)
      length = 3;
    else if (c >= 0xF0 && c <= 0xF4)
      length = 4;
    else
      return false;
    if (i + length > n) return false;
    for (size_t k = 1; k < length; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

bool IsHighLetter(unsigned char c) { return c >= 0xC0 || c == 0xA8 || c == 0xB8; }

}  // namespace

bool LooksCyrillic(std::string_view bytes) {
  // Letters in runs of three or more against all letters above 0x7F: Russian words are such runs,
  // while "Café" or "Größe" have one or two among Latin letters.
  size_t high = 0, inRuns = 0, run = 0;
  for (size_t i = 0; i <= bytes.size(); ++i) {
    if (i < bytes.size() && IsHighLetter(static_cast<unsigned char>(bytes[i]))) {
      ++high;
      ++run;
      continue;
    }
    if (run >= 3) inRuns += run;
    run = 0;
  }
  return high > 0 && inRuns * 2 >= high;
}

bool EncodingKnown(const std::string& name) {
  if (name.empty()) return false;
  Converter cd(name);
  return cd.Valid();
}

bool DecodeScriptText(std::string_view bytes, const std::string& encoding, DecodedText& out) {
  out = DecodedText{};
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    // Checked like any other UTF-8: a stray byte becomes U+FFFD rather than passing through.
    out.Encoding = "UTF-8 with BOM";
    Converter cd("UTF-8");
    if (!cd.Valid()) return false;
    Convert(cd, bytes.substr(kUtf8Bom.size()), 1, out);
    return true;
  }
  if (bytes.substr(0, 2) == kUtf16LeBom || bytes.substr(0, 2) == kUtf16BeBom) {
    out.Encoding = bytes.substr(0, 2) == kUtf16LeBom ? "UTF-16LE" : "UTF-16BE";
    Converter cd(out.Encoding);
    if (!cd.Valid()) return false;
    Convert(cd, bytes.substr(2), 2, out);
    return true;
  }
  if (ValidUtf8(bytes)) {
    out.Encoding = "UTF-8";
    out.Utf8.assign(bytes);
    return true;
  }
  out.Encoding = !encoding.empty() ? encoding : LooksCyrillic(bytes) ? "WINDOWS-1251" : "WINDOWS-1252";
  Converter cd(out.Encoding);
  if (!cd.Valid()) return false;
  Convert(cd, bytes, 1, out);
  return true;
}

}  // namespace fd::import
