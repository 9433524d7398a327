#include "support/localizer.h"

#include <mutex>

namespace fd::support {

namespace {

struct LocalTextList {
  std::mutex lock;
  std::vector<std::string> texts;
};

LocalTextList& List() {
  static LocalTextList list;
  return list;
}

}  // namespace

std::string LocalText(int number, const std::string& defaultText) {
  auto& list = List();
  std::lock_guard guard(list.lock);
  if (number < 0 || static_cast<size_t>(number) >= list.texts.size()) return defaultText;
  return list.texts[static_cast<size_t>(number)];
}

void SetLocalTexts(std::vector<std::string> texts) {
  auto& list = List();
  std::lock_guard guard(list.lock);
  list.texts = std::move(texts);
}

}  // namespace fd::support
