#pragma once

#include <string>
#include <string_view>

namespace fd::import {

struct DecodedText {
  std::string Utf8;
  std::string Encoding;  // as it was read: "UTF-8", "UTF-8 with BOM", "UTF-16LE", "WINDOWS-1252", ...
  size_t Invalid = 0;    // byte sequences the encoding does not have, each become U+FFFD
};

// True when iconv knows the encoding (a name such as "CP1251", "windows-1252", "ISO-8859-1").
bool EncodingKnown(const std::string& name);

// The script's bytes as UTF-8. A byte-order mark decides first (UTF-8, UTF-16LE, UTF-16BE); text
// that is valid UTF-8 is UTF-8; anything else is read in `encoding` when one is named, else as
// Windows-1251 when it reads as Cyrillic and Windows-1252 when not. False only when iconv cannot
// convert from the encoding at all.
bool DecodeScriptText(std::string_view bytes, const std::string& encoding, DecodedText& out);

// Whether single-byte text reads as Cyrillic in Windows-1251: its letters above 0x7F come in
// words of their own, not one accented letter among Latin ones as in Windows-1252.
bool LooksCyrillic(std::string_view bytes);

}  // namespace fd::import
