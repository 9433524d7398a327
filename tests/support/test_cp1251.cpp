#include <gtest/gtest.h>

#include "support/cp1251.h"

namespace fd::support {
namespace {

TEST(Cp1251, RussianTextBothWays) {
  const std::string bytes = "\xCE\xF8\xE8\xE1\xEA\xE0";  // "Ошибка"
  EXPECT_EQ(Utf8ToCp1251("Ошибка"), bytes);
  EXPECT_EQ(Cp1251ToUtf8(bytes), "Ошибка");
  EXPECT_EQ(Utf8ToCp1251("Запуск ПО управления, версия: 2.0.0.1\r\n"),
            "\xC7\xE0\xEF\xF3\xF1\xEA \xCF\xCE \xF3\xEF\xF0\xE0\xE2\xEB\xE5\xED\xE8\xFF, "
            "\xE2\xE5\xF0\xF1\xE8\xFF: 2.0.0.1\r\n");
}

TEST(Cp1251, LettersAndSignsOutsideTheAlphabetRows) {
  EXPECT_EQ(Utf8ToCp1251("Ёё№€А я"), "\xA8\xB8\xB9\x88\xC0 \xFF");
  EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8\xB9\x88\xC0\xFF"), "Ёё№€Ая");
}

TEST(Cp1251, EveryAssignedByteSurvivesTheRoundTrip) {
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;  // the one byte without a character
    const std::string one(1, static_cast<char>(b));
    const std::string utf8 = Cp1251ToUtf8(one);
    if (b != '?') {
      EXPECT_NE(utf8, "?") << "byte " << b;
    }
    EXPECT_EQ(Utf8ToCp1251(utf8), one) << "byte " << b;
  }
}

TEST(Cp1251, AsciiControlsAndNulPassUnchanged) {
  const std::string text("a\0b\r\n\t~", 7);
  EXPECT_EQ(Utf8ToCp1251(text), text);
  EXPECT_EQ(Cp1251ToUtf8(text), text);
  EXPECT_EQ(Utf8ToCp1251(""), "");
  EXPECT_EQ(Cp1251ToUtf8(""), "");
}

TEST(Cp1251, WhatHasNoByteBecomesOneQuestionMarkEach) {
  EXPECT_EQ(Utf8ToCp1251("日本"), "??");
  EXPECT_EQ(Utf8ToCp1251("a😀b"), "a?b");
  EXPECT_EQ(Utf8ToCp1251("Привет, 世界!"), std::string("\xCF\xF0\xE8\xE2\xE5\xF2, ?") + "?!");
  EXPECT_EQ(Cp1251ToUtf8("a\x98z"), "a?z");
}

TEST(Cp1251, BrokenUtf8BecomesQuestionMarksAndTheRestSurvives) {
  EXPECT_EQ(Utf8ToCp1251("\xFF"), "?");
  EXPECT_EQ(Utf8ToCp1251(std::string("a\xFF\xFE") + "b"), "a??b");
  EXPECT_EQ(Utf8ToCp1251(std::string("\xD0") + "A"), "?A");  // lead byte without its continuation
  EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");                    // cut off at the end
  EXPECT_EQ(Utf8ToCp1251("\x80Я"), "?\xDF");                 // stray continuation byte
  EXPECT_EQ(Utf8ToCp1251("\xE2\x82"), "?");                  // three-byte sequence cut off
}

TEST(Cp1251, LongTextsConvertWhole) {
  std::string utf8;
  std::string cp;
  for (int i = 0; i < 3000; ++i) {
    utf8 += "Ж";
    cp += '\xC6';
  }
  utf8 += "日";
  cp += '?';
  EXPECT_EQ(Utf8ToCp1251(utf8), cp);
  EXPECT_EQ(Cp1251ToUtf8(cp), utf8.substr(0, utf8.size() - 3) + "?");
}

}  // namespace
}  // namespace fd::support
