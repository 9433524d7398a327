#include <gtest/gtest.h>

#include "support/localizer.h"
#include "support/tw_strings.h"

namespace fd::support {
namespace {

std::vector<std::string> Split(const std::string& text, char delimiter) { return TTWStrings(text, delimiter).Items; }

TEST(TTWStrings, EveryPieceIsKeptIncludingEmptyOnes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Split("a##b", '#'), (V{"a", "", "b"}));
  EXPECT_EQ(Split("a#", '#'), (V{"a", ""}));
  EXPECT_EQ(Split("#a", '#'), (V{"", "a"}));
  EXPECT_EQ(Split("#", '#'), (V{"", ""}));
  EXPECT_EQ(Split("", '#'), (V{""}));
  EXPECT_EQ(Split("LT#25#80", '#'), (V{"LT", "25", "80"}));
  EXPECT_EQ(Split("C", '#'), (V{"C"}));
  EXPECT_EQ(Split("2.0.0.1", '.'), (V{"2", "0", "0", "1"}));
  EXPECT_EQ(Split("a,b", '#'), (V{"a,b"}));
}

TEST(TTWStrings, KeepsItsDelimiterAndAppends) {
  TTWStrings list("x;y", ';');
  EXPECT_EQ(list.Delimiter, ';');
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1], "y");
  list.Add("z");
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list[2], "z");
  EXPECT_THROW(list[3], std::out_of_range);

  TTWStrings empty;
  EXPECT_EQ(empty.Delimiter, ',');
  EXPECT_EQ(empty.Count(), 0);
}

TEST(LocalText, EmptyListGivesEveryDefault) {
  EXPECT_EQ(LocalText(94, "Ошибка загрузки сценария (строка:"), "Ошибка загрузки сценария (строка:");
  EXPECT_EQ(LocalText(0, "Ошибка"), "Ошибка");
  EXPECT_EQ(LocalText(-1, "x"), "x");
}

TEST(LocalText, AnEntryReplacesItsDefaultOnlyWhenItExists) {
  SetLocalTexts({"zero", "one"});
  EXPECT_EQ(LocalText(0, "d"), "zero");
  EXPECT_EQ(LocalText(1, "d"), "one");
  EXPECT_EQ(LocalText(2, "d"), "d");
  EXPECT_EQ(LocalText(-1, "d"), "d");
  SetLocalTexts({});
  EXPECT_EQ(LocalText(1, "d"), "d");
}

}  // namespace
}  // namespace fd::support
