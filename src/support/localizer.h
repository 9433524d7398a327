#pragma once

#include <string>
#include <vector>

namespace fd::support {

// Numbered replacement texts; the list stays empty, so every lookup returns its default.
// Entry `number` when the list holds more than `number` entries, else the default; a negative
// number always gives the default.
std::string LocalText(int number, const std::string& defaultText);

// Replaces the whole list. The program itself never calls this; it lets a test (or a future
// translation) put entries in.
void SetLocalTexts(std::vector<std::string> texts);

}  // namespace fd::support
