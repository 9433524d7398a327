// firnadesk-cli scan: search the bus and list every device found.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_bus.h"
#include "cli_command.h"
#include "cli_json.h"
#include "cli_output.h"
#include "cli_stop_signal.h"
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

Json JsonDevice(const devices::TCommonDevice& d) {
  Json o;
  o["id"] = d.ID;
  o["class"] = d.ClassName();
  o["kind"] = d.Kind;
  if (auto* s = dynamic_cast<const devices::TSoftControl*>(&d)) {
    o["instance"] = s->PeerNumber;
    o["instance_hex"] = Format("%02X", static_cast<unsigned>(s->PeerNumber));
    o["software_kind"] = s->Version;
    o["software"] = devices::SoftwareKindText(s->Version);
  } else {
    o["version"] = VersionHex(d.Version);
    o["version_number"] = d.Version;
  }
  if (auto* c = dynamic_cast<const devices::TCommonControl*>(&d)) {
    o["type_letter"] = c->TypeLetter == 0 ? Json(nullptr) : JsonCharValue(c->TypeLetter);
    o["channel_count"] = c->ChannelCount;
    o["voltage"] = JsonNumberValue(c->Voltage);
    o["aux_voltage"] = JsonNumberValue(c->AuxVoltage);
    o["status_bit"] = c->StatusBit == devices::kStatusNotReported ? Json(nullptr) : Json(c->StatusBit);
    o["link_quality"] = c->LinkQuality();
  }
  o["repeat_mode"] = d.RepeatMode;
  o["converter"] = d.Converter;
  o["last_result"] = d.LastResult;
  return o;
}

// Device by device: the document is never held whole.
// stopped: the operator ended the search, and the list holds what it found until then.
void PrintJsonReport(devices::TControls& controls, const CliBus& bus, int passes, bool stopped) {
  Print("{\n");
  Print("  \"bus\": " + JsonString(bus.ConverterText()) + ",\n");
  Print(std::string("  \"simulated\": ") + (bus.Simulated() ? "true" : "false") + ",\n");
  Print("  \"passes\": " + std::to_string(passes) + ",\n");
  Print(std::string("  \"stopped\": ") + (stopped ? "true" : "false") + ",\n");
  Print("  \"devices\": [");
  for (int i = 0; i < controls.Count(); ++i)
    Print((i == 0 ? "\n    " : ",\n    ") + OneLine(JsonDevice(*controls.Items(i))));
  Print(controls.Count() == 0 ? "]\n" : "\n  ]\n");
  Print("}\n");
}

struct ScanArgs {
  BusOptions bus;
  std::string passesText = "1";
  int passes = 1;
  bool json = false;
};

int RunScan(const ScanArgs& args) {
  const BusOptions& options = args.bus;
  const int passes = args.passes;
  const bool json = args.json;

  std::string error;
  std::unique_ptr<CliBus> bus = CliBus::Open(options, error);
  if (!bus) return ReportError("scan", error, OpenFailureExit(options));

  // Ctrl+C and SIGTERM end the search: what was found so far is still listed.
  StopSignals stop;
  ProgressLine progress;
  const bool finished = bus->Search(
      passes,
      [&](int pass, int address, int percent) {
        progress.Show(Format("scan: pass %d/%d  address %3d  %3d%%", pass, passes, address, percent));
      },
      [] { return StopSignals::Requested(); });
  progress.Clear();
  const bool stopped = StopSignals::Requested();
  if (!finished && !stopped) return ReportError("scan", "the search did not finish in time", kExitFailure);

  devices::TControls& controls = bus->Controls();
  controls.SortByID();
  if (json)
    PrintJsonReport(controls, *bus, passes, stopped);
  else
    Print(TextReport(controls, *bus, passes));
  if (stopped) return ReportError("scan", "stopped by the operator: the search did not finish", kExitFailure);
  return kExitOk;
}

Runner SetUpScan(CommandLine& line) {
  auto args = std::make_shared<ScanArgs>();
  AddBusOptions(line, args->bus);
  CLI::Option* passes =
      line.App().add_option("--passes", args->passesText, "full sweeps of the 256 addresses")->type_name("N");
  line.Needs(passes, "a number");
  line.App().add_flag("--json", args->json, "the device list as JSON");
  line.Check([args]() -> std::string {
    bool ok = false;
    args->passes = support::StrToIntDef(args->passesText, 0, &ok);
    if (!ok || args->passes < 1 || args->passes > kMaxPasses)
      return "--passes takes a number from 1 to " + std::to_string(kMaxPasses);
    return {};
  });
  return [args] { return RunScan(*args); };
}

const CommandRegistration kScan{"scan", std::string(kBusOptionsUsage) + " [--passes N] [--json]",
                                "search the bus and list the devices found", &SetUpScan};

}  // namespace
}  // namespace fd::cli
