#include "bench_commands.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace fd::tools {

namespace {

bool Number(const std::string& text, int low, int high, int& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value >= low && value <= high;
}

// A bench time as the fire log writes it: "1834.000 ms".
std::string BenchTimeText(uint64_t us) {
  char text[48];
  std::snprintf(text, sizeof text, "%llu.%03llu ms", static_cast<unsigned long long>(us / 1000),
                static_cast<unsigned long long>(us % 1000));
  return text;
}

}  // namespace

const char* const BenchCommands::kHelp =
    "commands: unplug, replug, off N, on N, remote-stop, peer-query [INSTANCE], peer-stop [INSTANCE], log, "
    "mark, help, quit";

std::string BenchReport(sim::Bench& bench) {
  std::string text = "fire log:\n" + bench.FireLog().Text();
  for (sim::ModelDevice* device : bench.Devices()) {
    auto* peer = dynamic_cast<sim::PeerDevice*>(device);
    if (peer == nullptr) continue;
    for (const sim::StateAnswer& a : peer->StateAnswers()) {
      text += "peer " + std::to_string(peer->Instance()) + " heard a state answer from " + std::to_string(a.from) +
              ": mode " + std::to_string(a.mode & 0x0F) + ", launch mode " + std::to_string(a.launchMode) + "\n";
    }
  }
  return text;
}

CommandOutcome BenchCommands::Run(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  CommandOutcome out;
  if (words.empty()) return out;
  const std::string& command = words[0];
  const size_t args = words.size() - 1;

  auto noArguments = [&] {
    if (args == 0) return true;
    out.error = command + " takes no argument";
    return false;
  };

  if (command == "quit") {
    if (noArguments()) out.quit = true;
  } else if (command == "help") {
    if (noArguments()) out.output = std::string(kHelp) + "\n";
  } else if (command == "log") {
    if (noArguments()) out.output = BenchReport(bench_);
  } else if (command == "mark") {
    // The bench's time now, on the fire log's scale: a script marks the moment it acts (a key
    // pressed in the window) and holds the firings against it.
    if (noArguments()) {
      out.output = "mark at " + BenchTimeText(bench_.Segment().Poll()) + "\n";
    }
  } else if (command == "unplug") {
    if (noArguments() && plug_.unplug(out.error)) out.output = "converter unplugged\n";
  } else if (command == "replug") {
    // The new path alone on its line, like the first line at start-up.
    if (noArguments() && plug_.replug(out.error)) out.output = plug_.slavePath() + "\n";
  } else if (command == "off" || command == "on") {
    int address = 0;
    if (args != 1 || !Number(words[1], 0, 255, address)) {
      out.error = command + " needs one bus address 0..255";
    } else if (!bench_.SetPowered(address, command == "on")) {
      out.error = "nothing at address " + words[1];
    } else {
      out.output = "address " + words[1] + " switched " + command + "\n";
    }
  } else if (command == "remote-stop") {
    if (!noArguments()) return out;
    // The bench time the button was pressed, as the fire log writes its times: what fired after
    // it can then be told from the log alone.
    const uint64_t pressedUs = bench_.Segment().NowUs();
    if (bench_.RemoteStop()) {
      out.output = "remote control: stop sent at " + BenchTimeText(pressedUs) + " (bench time)\n";
    } else {
      out.error = "this bench has no remote control";
    }
  } else if (command == "peer-query" || command == "peer-stop") {
    int instance = -1;
    if (args > 1 || (args == 1 && !Number(words[1], 1, 255, instance))) {
      out.error = command + " takes at most one peer instance number 1..255";
      return out;
    }
    sim::PeerDevice* peer = bench_.Peer(instance);
    if (peer == nullptr) {
      out.error = instance < 0 ? "this bench has no peer" : "no peer " + words[1] + " on this bench";
      return out;
    }
    if (command == "peer-query") {
      bench_.PeerQuery(peer->Instance(), 0);
      out.output = "peer " + std::to_string(peer->Instance()) + ": state query sent\n";
    } else {
      bench_.PeerStop(peer->Instance(), 0);
      out.output = "peer " + std::to_string(peer->Instance()) + ": stop sent\n";
    }
  } else {
    out.error = "unknown command \"" + command + "\"; " + kHelp;
  }
  return out;
}

}  // namespace fd::tools
