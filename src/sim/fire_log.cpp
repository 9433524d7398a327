#include "sim/fire_log.h"

#include <cstdio>

#include "bus/tport_codec.h"

namespace fd::sim {

std::string FireEntryText(const FireEntry& entry) {
  char time[48];
  std::snprintf(time, sizeof time, "%llu.%03llu ms", static_cast<unsigned long long>(entry.timeUs / 1000),
                static_cast<unsigned long long>(entry.timeUs % 1000));
  std::string text = time;
  text += "  console " + std::to_string(entry.console);
  if (entry.kind == FireKind::Channel) {
    text += "  channel " + std::to_string(entry.channel) + "  level " + std::to_string(entry.level);
  } else {
    text += "  motion " + bus::codec::MotionName(entry.motionCode) + " " + std::to_string(entry.x) + " " +
            std::to_string(entry.y);
  }
  text += entry.source == FireSource::Direct ? "  direct" : "  from memory";
  return text;
}

void FireLog::Add(const FireEntry& entry) {
  std::lock_guard lock(mutex_);
  entries_.push_back(entry);
}

std::vector<FireEntry> FireLog::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

size_t FireLog::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void FireLog::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

std::string FireLog::Text() const {
  std::vector<FireEntry> copy = Entries();
  if (copy.empty()) return "(no firings)\n";
  std::string text;
  for (const FireEntry& entry : copy) text += FireEntryText(entry) + "\n";
  return text;
}

}  // namespace fd::sim
