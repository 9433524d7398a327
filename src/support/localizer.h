#pragma once

#include <string>

namespace fd::support {

// Numbered replacement texts; the list stays empty, so every lookup returns its default.
std::string LocalText(int number, const std::string& defaultText);

}  // namespace fd::support
