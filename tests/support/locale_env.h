#pragma once

// Runs a test in a named locale as the environment gives it to the program (LC_ALL), and puts the
// environment back afterwards. Only the environment changes: the program formats its dates from
// it without switching its own locale.
#include <locale.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace fd::support::testing {

// Whether the system has the locale (locale-gen makes it; scripts/setup.sh does).
inline bool LocaleInstalled(const char* name) {
  locale_t l = ::newlocale(LC_TIME_MASK, name, static_cast<locale_t>(0));
  if (l == static_cast<locale_t>(0)) return false;
  ::freelocale(l);
  return true;
}

class LocaleEnv {
 public:
  explicit LocaleEnv(const char* name) {
    if (const char* old = std::getenv("LC_ALL")) old_ = old;
    ::setenv("LC_ALL", name, 1);
  }
  ~LocaleEnv() {
    if (old_) {
      ::setenv("LC_ALL", old_->c_str(), 1);
    } else {
      ::unsetenv("LC_ALL");
    }
  }
  LocaleEnv(const LocaleEnv&) = delete;
  LocaleEnv& operator=(const LocaleEnv&) = delete;

 private:
  std::optional<std::string> old_;
};

}  // namespace fd::support::testing
