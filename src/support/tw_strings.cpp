#include "support/tw_strings.h"

namespace fd::support {

TTWStrings::TTWStrings(const std::string& text, char delimiter) : Delimiter(delimiter) {
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(Delimiter, start);
    if (end == std::string::npos) {
      Items.push_back(text.substr(start));  // the end of the text ends the last piece
      return;
    }
    Items.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace fd::support
