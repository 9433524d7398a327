#include "support/cp1251.h"

#include <iconv.h>

#include <cerrno>

namespace fd::support {

namespace {

// One conversion descriptor per thread and direction: iconv state is not shareable.
class Descriptor {
 public:
  Descriptor(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Descriptor() {
    if (Valid()) iconv_close(cd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Length of the UTF-8 sequence that starts at p when it is well formed as to its continuation
// bytes, else 1, so that a bad byte costs exactly one "?".
size_t Utf8SequenceLength(const unsigned char* p, size_t left) {
  size_t len = 1;
  if (p[0] >= 0xC2 && p[0] <= 0xDF) {
    len = 2;
  } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    len = 3;
  } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    len = 4;
  }
  if (len > left) return 1;
  for (size_t k = 1; k < len; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 1;
  }
  return len;
}

// Without a usable iconv, ASCII still passes and everything else is one "?" per character.
std::string FallbackConvert(const std::string& in, bool fromUtf8) {
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  size_t i = 0;
  while (i < in.size()) {
    if (p[i] < 0x80) {
      out.push_back(static_cast<char>(p[i]));
      ++i;
    } else {
      out.push_back('?');
      i += fromUtf8 ? Utf8SequenceLength(p + i, in.size() - i) : 1;
    }
  }
  return out;
}

std::string Convert(const Descriptor& cd, const std::string& in, bool fromUtf8) {
  if (!cd.Valid()) return FallbackConvert(in, fromUtf8);
  iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial state

  std::string out;
  out.reserve(in.size() * (fromUtf8 ? 1 : 2));
  char buffer[1024];
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t rc = iconv(cd.Get(), &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    out.push_back('?');
    if (errno == EINVAL) break;  // cut off at the end: nothing more to read
    // EILSEQ, or anything unexpected: step over one character and go on.
    const size_t skip = fromUtf8 ? Utf8SequenceLength(reinterpret_cast<const unsigned char*>(src), srcLeft) : 1;
    src += skip;
    srcLeft -= skip;
  }
  return out;
}

}  // namespace

std::string Utf8ToCp1251(const std::string& utf8) {
  try {
    thread_local Descriptor cd("CP1251", "UTF-8");
    return Convert(cd, utf8, true);
  } catch (...) {
    return {};
  }
}

std::string Cp1251ToUtf8(const std::string& cp1251) {
  try {
    thread_local Descriptor cd("UTF-8", "CP1251");
    return Convert(cd, cp1251, false);
  } catch (...) {
    return {};
  }
}

}  // namespace fd::support
