#include "sim/bench_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "support/terminal_text.h"

namespace fd::sim {

namespace {

// A failure while reading one line; the caller adds the file name and line number.
struct LineError {
  std::string reason;
};

// A token of the file as an error quotes it: cut short, so that one huge token cannot flood the
// operator's terminal.
std::string Quoted(const std::string& token) {
  constexpr size_t kShown = 40;
  if (token.size() <= kShown) return "\"" + token + "\"";
  return "\"" + token.substr(0, kShown) + "...\"";
}

std::string Shown(const std::string& token) {
  const std::string quoted = Quoted(token);
  return quoted.substr(1, quoted.size() - 2);
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line.substr(0, line.find('#')));
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

long Integer(const std::string& text, long low, long high, const std::string& what) {
  long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) throw LineError{what + " must be a whole number, not " + Quoted(text)};
  if (value < low || value > high)
    throw LineError{what + " must be " + std::to_string(low) + ".." + std::to_string(high) + ", not " + Shown(text)};
  return value;
}

long Hex(const std::string& text, int maxDigits, const std::string& what) {
  long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value, 16);
  if (text.empty() || static_cast<int>(text.size()) > maxDigits || ec != std::errc() || ptr != end || value < 0)
    throw LineError{what + " must be at most " + std::to_string(maxDigits) + " hexadecimal digits, not " +
                    Quoted(text)};
  return value;
}

double Decimal(const std::string& text, double low, double high, const std::string& what) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (ec != std::errc() || ptr != end || !std::isfinite(value))
    throw LineError{what + " must be a decimal number, not " + Quoted(text)};
  if (value < low || value > high) {
    std::ostringstream range;
    range << what << " must be " << low << ".." << high << ", not " << Shown(text);
    throw LineError{range.str()};
  }
  return value;
}

uint64_t Milliseconds(const std::string& text, const std::string& what) {
  return static_cast<uint64_t>(std::llround(Decimal(text, 0.0, 10000.0, what) * 1000.0));
}

// "3", "3,7", "2-5,9": wire channel numbers, kept as ranges. A line may hold any number of ranges;
// they are never expanded into one entry per channel, so the work stays proportional to the line.
struct ChannelRange {
  int first = 0;
  int last = 0;
};

void ReadChannelRanges(const std::string& text, std::vector<ChannelRange>& ranges) {
  if (text.empty() || text.back() == ',') throw LineError{"channel list " + Quoted(text) + " is incomplete"};
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const size_t dash = item.find('-');
    ChannelRange range;
    if (dash == std::string::npos) {
      range.first = range.last = static_cast<int>(Integer(item, 1, 511, "a channel number"));
    } else {
      range.first = static_cast<int>(Integer(item.substr(0, dash), 1, 511, "a channel number"));
      range.last = static_cast<int>(Integer(item.substr(dash + 1), 1, 511, "a channel number"));
      if (range.last < range.first) throw LineError{"channel range " + Quoted(item) + " runs backwards"};
    }
    ranges.push_back(range);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

// Reads the "key value" pairs after the device word and its number.
class Properties {
 public:
  Properties(const std::vector<std::string>& words, size_t first) {
    for (size_t i = first; i < words.size(); i += 2) {
      if (i + 1 >= words.size()) throw LineError{Quoted(words[i]) + " needs a value"};
      pairs_.emplace_back(words[i], words[i + 1]);
    }
  }

  // Calls handle(key, value) for each pair; keys outside `allowed` and repeated keys are errors
  // (only the per-channel lists may repeat).
  template <typename Handler>
  void Each(const std::set<std::string>& allowed, const std::string& device, Handler handle) const {
    std::set<std::string> seen;
    for (const auto& [key, value] : pairs_) {
      if (!allowed.count(key)) throw LineError{"unknown property " + Quoted(key) + " for a " + device};
      const bool repeatable = key == "open" || key == "broken" || key == "value";
      if (!repeatable && !seen.insert(key).second) throw LineError{"property \"" + key + "\" given twice"};
      handle(key, value);
    }
  }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

void CheckCommonTiming(const std::string& key, const std::string& value, uint64_t& turnaroundUs, uint64_t& lateUs) {
  if (key == "turnaround") turnaroundUs = Milliseconds(value, "turnaround");
  if (key == "late") lateUs = Milliseconds(value, "late");
}

ConsoleConfig ParseConsole(const std::vector<std::string>& words) {
  if (words.size() < 2) throw LineError{"console needs an address"};
  ConsoleConfig c;
  c.address = static_cast<int>(Integer(words[1], 1, 199, "console address"));
  std::vector<ChannelRange> open, broken;
  std::vector<std::pair<int, double>> values;
  bool auxGiven = false;
  Properties(words, 2).Each({"version", "letter", "channels", "confirm", "aux", "voltage", "status", "reading", "hv",
                             "open", "broken", "value", "turnaround", "late", "memory"},
                            "console", [&](const std::string& key, const std::string& value) {
                              if (key == "version") c.version = static_cast<int>(Hex(value, 3, "version"));
                              if (key == "letter") {
                                if (value == "none") {
                                  c.answersTypeLetter = false;
                                } else if (value.size() == 1 && value[0] > ' ' && value[0] < 0x7F) {
                                  c.typeLetter = value[0];
                                } else {
                                  throw LineError{"letter must be one character or \"none\", not " + Quoted(value)};
                                }
                              }
                              if (key == "channels") c.channels = static_cast<int>(Integer(value, 1, 511, "channels"));
                              if (key == "confirm") {
                                if (value == "none")
                                  c.confirmation.reset();
                                else
                                  c.confirmation = static_cast<uint8_t>(Hex(value, 2, "confirm"));
                              }
                              if (key == "aux") {
                                c.auxVoltage = Decimal(value, 0.0, 6553.5, "aux");
                                auxGiven = true;
                              }
                              if (key == "voltage") c.voltage = Decimal(value, 0.0, 65.535, "voltage");
                              if (key == "status") c.statusBit = static_cast<int>(Integer(value, 0, 1, "status"));
                              if (key == "reading") c.reading = static_cast<int>(Integer(value, -99, 99, "reading"));
                              if (key == "hv") c.hvParameter = static_cast<int>(Integer(value, 0, 255, "hv"));
                              if (key == "open") ReadChannelRanges(value, open);
                              if (key == "broken") ReadChannelRanges(value, broken);
                              if (key == "value") {
                                const size_t eq = value.find('=');
                                if (eq == std::string::npos)
                                  throw LineError{"value must read CHANNEL=MEASUREMENT, not " + Quoted(value)};
                                values.emplace_back(
                                    static_cast<int>(Integer(value.substr(0, eq), 1, 511, "a channel number")),
                                    Decimal(value.substr(eq + 1), 0.0, 65.535, "a measurement"));
                              }
                              if (key == "memory") c.memory = static_cast<int>(Integer(value, 1, 65535, "memory"));
                              CheckCommonTiming(key, value, c.turnaroundUs, c.lateUs);
                            });

  auto inRange = [&](int channel) {
    if (channel > c.channels)
      throw LineError{"channel " + std::to_string(channel) + " is beyond the console's " + std::to_string(c.channels) +
                      " channels"};
  };
  // Marked in bit sets first: repeated ranges cost a pass over at most 511 bits each.
  std::bitset<512> opened, brokenOnes;
  for (const ChannelRange& range : open) {
    inRange(std::max(range.first, std::min(range.last, c.channels + 1)));
    for (int ch = range.first; ch <= range.last; ++ch) opened.set(static_cast<size_t>(ch));
  }
  for (const ChannelRange& range : broken) {
    inRange(std::max(range.first, std::min(range.last, c.channels + 1)));
    for (int ch = range.first; ch <= range.last; ++ch) {
      if (opened.test(static_cast<size_t>(ch)))
        throw LineError{"channel " + std::to_string(ch) + " is both open and broken"};
      brokenOnes.set(static_cast<size_t>(ch));
    }
  }
  for (int ch = 1; ch <= 511; ++ch) {
    if (opened.test(static_cast<size_t>(ch))) c.channelStates[ch] = ChannelState::Open;
    if (brokenOnes.test(static_cast<size_t>(ch))) c.channelStates[ch] = ChannelState::Broken;
  }
  for (const auto& [ch, measured] : values) {
    inRange(ch);
    c.channelValues[ch] = static_cast<int>(std::lround(measured * 1000.0));
  }
  // The first status value travels in thousandths in 15 bits, on a high-voltage console in tenths
  // in 16 bits.
  const bool highVoltage =
      c.answersTypeLetter && c.typeLetter != 'P' && (c.typeLetter == 'Q' || c.typeLetter == 'R' || c.channels == 4);
  if (highVoltage && !auxGiven) c.auxVoltage = 300.0;
  if (!highVoltage && c.auxVoltage > 32.767)
    throw LineError{"aux must be at most 32.767 on a console that is not high-voltage"};
  if (c.memory > 0 && c.version < 0x148 && c.memory > 511)
    throw LineError{"memory of a console below version 148 holds at most 511 channel cells"};
  return c;
}

RadioConfig ParseRadio(const std::vector<std::string>& words) {
  if (words.size() < 2) throw LineError{"radio needs an address"};
  RadioConfig r;
  r.address = static_cast<int>(Integer(words[1], 240, 254, "radio address"));
  Properties(words, 2).Each({"version", "turnaround", "late"}, "radio", [&](const auto& key, const auto& value) {
    if (key == "version") r.version = static_cast<int>(Hex(value, 3, "version"));
    CheckCommonTiming(key, value, r.turnaroundUs, r.lateUs);
  });
  return r;
}

RemoteConfig ParseRemote(const std::vector<std::string>& words) {
  if (words.size() > 1 && !words[1].empty() && words[1].find_first_not_of("0123456789") == std::string::npos)
    throw LineError{"remote takes no address: it is always 0"};
  RemoteConfig r;
  Properties(words, 1).Each({"version", "turnaround", "late"}, "remote", [&](const auto& key, const auto& value) {
    if (key == "version") r.version = static_cast<int>(Hex(value, 3, "version"));
    CheckCommonTiming(key, value, r.turnaroundUs, r.lateUs);
  });
  return r;
}

PeerConfig ParsePeer(const std::vector<std::string>& words) {
  if (words.size() < 2) throw LineError{"peer needs an instance number"};
  PeerConfig p;
  p.instance = static_cast<int>(Integer(words[1], 1, 255, "peer instance"));
  Properties(words, 2).Each({"version", "seed", "turnaround", "late"}, "peer", [&](const auto& key, const auto& value) {
    if (key == "version") p.majorVersion = static_cast<int>(Integer(value, 0, 255, "version"));
    if (key == "seed") p.seed = static_cast<uint32_t>(Integer(value, 1, 0x7FFFFFFF, "seed"));
    CheckCommonTiming(key, value, p.turnaroundUs, p.lateUs);
  });
  return p;
}

}  // namespace

std::optional<BenchConfig> ParseBench(const std::string& text, const std::string& name, std::string& error) {
  BenchConfig bench;
  bool convertersGiven = false;
  std::set<int> addresses;
  std::set<int> instances;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  try {
    while (std::getline(in, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::vector<std::string> words = Words(line);
      if (words.empty()) continue;
      const std::string& kind = words[0];
      auto claim = [&](int address) {
        if (!addresses.insert(address).second)
          throw LineError{"address " + std::to_string(address) + " is already taken"};
      };
      if (kind == "converters") {
        if (words.size() != 2) throw LineError{"converters takes one number"};
        if (convertersGiven) throw LineError{"converters given twice"};
        bench.converters = static_cast<int>(Integer(words[1], 1, 8, "converters"));
        convertersGiven = true;
      } else if (kind == "console") {
        ConsoleConfig console = ParseConsole(words);
        claim(console.address);
        bench.consoles.push_back(std::move(console));
      } else if (kind == "radio") {
        RadioConfig radio = ParseRadio(words);
        claim(radio.address);
        bench.radios.push_back(radio);
      } else if (kind == "remote") {
        if (bench.remote) throw LineError{"there is only one remote control"};
        bench.remote = ParseRemote(words);
      } else if (kind == "peer") {
        PeerConfig peer = ParsePeer(words);
        if (!instances.insert(peer.instance).second)
          throw LineError{"peer instance " + std::to_string(peer.instance) + " is already taken"};
        bench.peers.push_back(peer);
      } else {
        throw LineError{"unknown device " + Quoted(kind) + " (console, radio, remote, peer or converters)"};
      }
    }
  } catch (const LineError& e) {
    error = name + ":" + std::to_string(number) + ": " + e.reason;
    return std::nullopt;
  }
  error.clear();
  return bench;
}

std::optional<BenchConfig> LoadBenchFile(const std::string& path, std::string& error) {
  // Messages lead with the path: a long one is shortened so that the reason after it stays.
  const std::string shownPath = support::TerminalPath(path);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = shownPath + ": cannot read the file (" + support::SystemErrorText(errno) + ")";
    return std::nullopt;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    error = shownPath + ": cannot read the file (it is a directory)";
    return std::nullopt;
  }
  const std::string tooBig =
      shownPath + ": the file is larger than " + std::to_string(kMaxBenchFileBytes >> 20) + " MB: not a bench file";
  if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > kMaxBenchFileBytes) {
    error = tooBig;
    return std::nullopt;
  }
  // Read up to one byte past the limit: a pipe or a device that never ends stops there.
  std::string text;
  try {
    char buffer[1 << 16];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        error = shownPath + ": cannot read the file";
        return std::nullopt;
      }
      if (got == 0) break;
      if (text.size() + static_cast<size_t>(got) > kMaxBenchFileBytes) {
        error = tooBig;
        return std::nullopt;
      }
      text.append(buffer, static_cast<size_t>(got));
    }
    return ParseBench(text, shownPath, error);
  } catch (const std::bad_alloc&) {
    error = shownPath + ": not enough memory to read the bench";
    return std::nullopt;
  }
}

}  // namespace fd::sim
