#pragma once

#include <string>
#include <vector>

namespace fd::support {

// A string list that splits a text at a delimiter, keeping empty pieces: "a##b" gives a, "", b;
// an empty text gives one empty piece.
class TTWStrings {
 public:
  TTWStrings() = default;
  TTWStrings(const std::string& text, char delimiter);

  char Delimiter = ',';
  std::vector<std::string> Items;

  int Count() const { return static_cast<int>(Items.size()); }
  const std::string& operator[](int i) const { return Items.at(static_cast<size_t>(i)); }
  void Add(const std::string& s) { Items.push_back(s); }
};

}  // namespace fd::support
