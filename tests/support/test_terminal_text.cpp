#include <gtest/gtest.h>

#include <string>

#include "support/terminal_text.h"

namespace fd::support {
namespace {

TEST(TerminalText, EscapesWhatWouldDriveTheTerminalAndCutsLongText) {
  struct Case {
    std::string in;
    size_t max;
    std::string out;
  } cases[] = {
      {"plain words", 256, "plain words"},
      {"\x1b[31mred", 256, "\\x1B[31mred"},
      {"bell\x07 tab\t nl\n cr\r del\x7f", 256, "bell\\x07 tab\\x09 nl\\x0A cr\\x0D del\\x7F"},
      {std::string("nul\0x", 5), 256, "nul\\x00x"},
      {"\xc2\x9b"
       "2J",
       256, "\\xC2\\x9B2J"},  // CSI of the C1 range, written in UTF-8
      {"\x9b"
       "2J",
       256, "\\x9B2J"},  // the same as a raw byte
      {"Финал", 256, "Финал"},
      {"\xd4\xe8\xed", 256, "\\xD4\\xE8\\xED"},  // Windows-1251 bytes are no UTF-8
      {"abcdef", 3, "abc..."},
      {"абв", 3, "аб..."},  // a character is never cut in half
      {"", 3, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(TerminalText(c.in, c.max), c.out) << c.in;
}

TEST(TerminalText, ALongPathKeepsItsBeginningAndItsName) {
  struct Case {
    std::string in;
    size_t max;
    std::string out;
  } cases[] = {
      {"/dev/ttyUSB0", 160, "/dev/ttyUSB0"},
      {"/tmp/\x1b[2J", 160, "/tmp/\\x1B[2J"},
      {"/aaaaaaaaa/show.txt", 9, "/aa...ow.txt"},
      {"/ффффф/ш.txt", 8, "/...ш.txt"},  // a character is never cut in half
  };
  for (const Case& c : cases) EXPECT_EQ(TerminalPath(c.in, c.max), c.out) << c.in;
}

}  // namespace
}  // namespace fd::support
