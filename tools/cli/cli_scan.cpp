// firnadesk-cli scan: search the bus and list every device found.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_bus.h"
#include "cli_command.h"
#include "cli_json.h"
#include "devices/common_control.h"
#include "devices/controls.h"
#include "devices/device_factory.h"
#include "devices/soft_control.h"
#include "support/numbers.h"

namespace fd::cli {
namespace {

constexpr int kMaxPasses = 1000;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string VersionHex(int version) { return Format("%03X", static_cast<unsigned>(version)); }
std::string Volts(double v) { return Format("%.3f", v); }

// The type letter as the report shows it: printable as itself, otherwise its code.
std::string LetterText(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u > 0x20 && u < 0x7F) return std::string(1, c);
  return u == 0 ? "-" : Format("\\x%02X", u);
}

struct Row {
  std::string id, cls, version, letter, channels, voltage, aux, status, link, repeat, converter, result, software;
};

Row MakeRow(const devices::TCommonDevice& d) {
  Row r;
  r.id = std::to_string(d.ID);
  r.cls = d.ClassName();
  r.version = VersionHex(d.Version);
  // A copied std::string, not the literal: GCC 12 at -O3 warns about assigning a one-character
  // literal (a false -Wrestrict).
  const std::string none(1, '-');
  r.letter = r.channels = r.voltage = r.aux = r.status = r.link = none;
  r.repeat = std::to_string(d.RepeatMode);
  r.converter = std::to_string(d.Converter);
  r.result = std::to_string(d.LastResult);
  if (auto* c = dynamic_cast<const devices::TCommonControl*>(&d)) {
    r.letter = LetterText(c->TypeLetter);
    r.channels = std::to_string(c->ChannelCount);
    r.voltage = Volts(c->Voltage);
    r.aux = Volts(c->AuxVoltage);
    r.status = c->StatusBit == devices::kStatusNotReported ? "-" : std::to_string(c->StatusBit);
    r.link = std::to_string(c->LinkQuality()) + "%";
  }
  if (auto* s = dynamic_cast<const devices::TSoftControl*>(&d)) {
    r.id = Format("255:%02X", static_cast<unsigned>(s->PeerNumber));
    r.version = none;
    r.software = std::to_string(s->Version) + " " + devices::SoftwareKindText(s->Version);
  }
  return r;
}

std::string TextReport(devices::TControls& controls, const CliBus& bus, int passes) {
  std::string out = Format("Bus: %s; %d pass%s\n", bus.ConverterText().c_str(), passes, passes == 1 ? "" : "es");
  if (controls.Count() == 0) return out + "No devices found.\n";
  out += Format("Devices: %d (consoles %d, operator programs %d)\n\n", controls.Count(), controls.ConsoleCount(),
                controls.SoftCount());
  std::vector<Row> rows;
  rows.push_back({"ID", "Class", "Version", "Type", "Channels", "Voltage", "Aux", "Status", "Link", "Repeat",
                  "Converter", "Result", "Software"});
  for (int i = 0; i < controls.Count(); ++i) rows.push_back(MakeRow(*controls.Items(i)));
  // Column widths from the widest cell (the software text is last and left as it is).
  std::vector<size_t> width(12, 0);
  for (const Row& r : rows) {
    const std::string* cells[] = {&r.id,  &r.cls,    &r.version, &r.letter, &r.channels,  &r.voltage,
                                  &r.aux, &r.status, &r.link,    &r.repeat, &r.converter, &r.result};
    for (size_t k = 0; k < 12; ++k) width[k] = std::max(width[k], cells[k]->size());
  }
  for (const Row& r : rows) {
    const std::string* cells[] = {&r.id,  &r.cls,    &r.version, &r.letter, &r.channels,  &r.voltage,
                                  &r.aux, &r.status, &r.link,    &r.repeat, &r.converter, &r.result};
    std::string line;
    for (size_t k = 0; k < 12; ++k) {
      // Names left, numbers right.
      const bool left = k <= 3;
      const std::string pad(width[k] - cells[k]->size(), ' ');
      line += left ? *cells[k] + pad : pad + *cells[k];
      line += "  ";
    }
    line += r.software;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  return out;
}

std::string JsonDevice(const devices::TCommonDevice& d) {
  std::string o = "{";
  o += "\"id\": " + std::to_string(d.ID);
  o += ", \"class\": " + JsonString(d.ClassName());
  o += ", \"kind\": " + std::to_string(d.Kind);
  if (auto* s = dynamic_cast<const devices::TSoftControl*>(&d)) {
    o += ", \"instance\": " + std::to_string(s->PeerNumber);
    o += ", \"instance_hex\": " + JsonString(Format("%02X", static_cast<unsigned>(s->PeerNumber)));
    o += ", \"software_kind\": " + std::to_string(s->Version);
    o += ", \"software\": " + JsonString(devices::SoftwareKindText(s->Version));
  } else {
    o += ", \"version\": " + JsonString(VersionHex(d.Version));
    o += ", \"version_number\": " + std::to_string(d.Version);
  }
  if (auto* c = dynamic_cast<const devices::TCommonControl*>(&d)) {
    o += ", \"type_letter\": " + (c->TypeLetter == 0 ? std::string("null") : JsonChar(c->TypeLetter));
    o += ", \"channel_count\": " + std::to_string(c->ChannelCount);
    o += ", \"voltage\": " + JsonNumber(c->Voltage);
    o += ", \"aux_voltage\": " + JsonNumber(c->AuxVoltage);
    o += ", \"status_bit\": " +
         (c->StatusBit == devices::kStatusNotReported ? std::string("null") : std::to_string(c->StatusBit));
    o += ", \"link_quality\": " + std::to_string(c->LinkQuality());
  }
  o += ", \"repeat_mode\": " + std::to_string(d.RepeatMode);
  o += ", \"converter\": " + std::to_string(d.Converter);
  o += ", \"last_result\": " + std::to_string(d.LastResult);
  return o + "}";
}

std::string JsonReport(devices::TControls& controls, const CliBus& bus, int passes) {
  std::string out = "{\n";
  out += "  \"bus\": " + JsonString(bus.ConverterText()) + ",\n";
  out += std::string("  \"simulated\": ") + (bus.Simulated() ? "true" : "false") + ",\n";
  out += "  \"passes\": " + std::to_string(passes) + ",\n";
  out += "  \"devices\": [";
  for (int i = 0; i < controls.Count(); ++i) {
    out += i == 0 ? "\n    " : ",\n    ";
    out += JsonDevice(*controls.Items(i));
  }
  out += controls.Count() == 0 ? "]\n" : "\n  ]\n";
  return out + "}\n";
}

int RunScan(const std::vector<std::string>& args) {
  BusOptions options;
  int passes = 1;
  bool json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    switch (TakeBusOption(args, i, options, error)) {
      case OptionMatch::Taken:
        continue;
      case OptionMatch::Bad:
        return PrintUsage("scan", error);
      case OptionMatch::NotMine:
        break;
    }
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--passes" || a.rfind("--passes=", 0) == 0) {
      std::string value;
      if (a == "--passes") {
        if (i + 1 >= args.size()) return PrintUsage("scan", "--passes needs a number");
        value = args[++i];
      } else {
        value = a.substr(9);
      }
      bool ok = false;
      passes = support::StrToIntDef(value, 0, &ok);
      if (!ok || passes < 1 || passes > kMaxPasses)
        return PrintUsage("scan", "--passes takes a number from 1 to " + std::to_string(kMaxPasses));
    } else {
      return PrintUsage("scan", "unknown option \"" + a + "\"");
    }
  }

  std::string error;
  std::unique_ptr<CliBus> bus = CliBus::Open(options, error);
  if (!bus) {
    std::fprintf(stderr, "firnadesk-cli scan: %s\n", error.c_str());
    return kExitUsage;
  }

  ProgressLine progress;
  const bool finished = bus->Search(passes, [&](int pass, int address, int percent) {
    progress.Show(Format("scan: pass %d/%d  address %3d  %3d%%", pass, passes, address, percent));
  });
  progress.Clear();
  if (!finished) {
    std::fprintf(stderr, "firnadesk-cli scan: the search did not finish in time\n");
    return kExitFailure;
  }

  devices::TControls& controls = bus->Controls();
  controls.SortByID();
  const std::string report = json ? JsonReport(controls, *bus, passes) : TextReport(controls, *bus, passes);
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fflush(stdout);
  return kExitOk;
}

const CommandRegistration kScan{"scan", std::string(kBusOptionsUsage) + " [--passes N] [--json]",
                                "search the bus and list the devices found", &RunScan};

}  // namespace
}  // namespace fd::cli
