#include "support/terminal_text.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>

namespace fd::support {

namespace {

// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
size_t SequenceLength(std::string_view text, size_t i, uint32_t& codePoint) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  size_t length = 0;
  uint32_t min = 0;
  if (b0 < 0x80) {
    codePoint = b0;
    return 1;
  }
  if ((b0 & 0xE0) == 0xC0) {
    length = 2, min = 0x80, codePoint = b0 & 0x1Fu;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, min = 0x800, codePoint = b0 & 0x0Fu;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, min = 0x10000, codePoint = b0 & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3Fu);
  }
  if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  return length;
}

void AppendByte(std::string& out, unsigned char byte) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(byte));
  out += escaped;
}

}  // namespace

std::string TerminalText(std::string_view text, size_t maxBytes) {
  std::string out;
  size_t i = 0;
  while (i < text.size() && i < maxBytes) {
    uint32_t codePoint = 0;
    const size_t length = SequenceLength(text, i, codePoint);
    const bool control = codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0);
    if (length == 0 || control) {
      AppendByte(out, static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    out.append(text.substr(i, length));
    i += length;
  }
  if (i < text.size()) out += "...";
  return out;
}

namespace {

// Whether text[i] starts a character: a cut there never splits a UTF-8 sequence.
bool StartsCharacter(std::string_view text, size_t i) {
  return i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
}

}  // namespace

std::string TerminalPath(std::string_view path, size_t maxBytes) {
  if (path.size() <= maxBytes) return TerminalText(path, maxBytes);
  // A third for the beginning (where the path is), the rest for its end (the file's name).
  size_t head = maxBytes / 3;
  size_t tail = path.size() - (maxBytes - head);
  while (head > 0 && !StartsCharacter(path, head)) --head;
  while (tail < path.size() && !StartsCharacter(path, tail)) ++tail;
  return TerminalText(path.substr(0, head), head) + "..." + TerminalText(path.substr(tail), path.size() - tail);
}

std::string SystemErrorText(int error) {
  if (error == ENAMETOOLONG) return "name too long";
  // Not strerror: the bus engine's thread asks too.
  return std::generic_category().message(error);
}

}  // namespace fd::support
