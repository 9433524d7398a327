#pragma once

// What `firnadesk-cli scan` must report for a bench, worked out from the bench's description, and
// a reader for the text report's table.

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "sim/device_config.h"

namespace fd::testing {

struct ExpectedDevice {
  int id = 0;
  std::string idText;  // as the first column shows it ("255:0A" for a peer)
  std::string cls;
  std::string version;  // three hexadecimal digits; "-" for a peer
  std::string letter = "-";
  std::string channels = "-";
  std::string voltage = "-";
  std::string aux = "-";
  std::string status = "-";
  std::string link = "-";
  int repeat = -1;
  int software = -1;  // peers: their major version
  std::string softwareText;
};

inline std::string Hex3(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "%03X", v);
  return b;
}
inline std::string Volts(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.3f", v);
  return b;
}
inline std::string KindText(int kind) {
  switch (kind) {
    case 2:
      return "Стандартное ПО управления";
    case 3:
      return "Расширенное ПО управления";
    case 4:
      return "ПО тестирования и отладки";
    case 5:
      return "Резервное ПО управления";
    default:
      return "Неизвестное ПО";
  }
}

// The registry's view of a bench, in ascending ID (peers in the order they answered: compare
// them as a set).
inline std::vector<ExpectedDevice> ExpectedFor(const sim::BenchConfig& bench) {
  std::vector<ExpectedDevice> out;
  if (bench.remote) {
    ExpectedDevice d;
    d.id = 0;
    d.cls = "TRemoteControl";
    d.version = Hex3(bench.remote->version);
    out.push_back(d);
  }
  for (const sim::ConsoleConfig& c : bench.consoles) {
    ExpectedDevice d;
    d.id = c.address;
    const bool letter = c.answersTypeLetter;
    const bool motor = letter && c.typeLetter == 'P';
    const bool hv = letter && !motor && (c.typeLetter == 'Q' || c.typeLetter == 'R' || c.channels == 4);
    d.cls = motor ? "TMotorControl" : hv ? "THVControl" : "TAutoControl";
    d.version = Hex3(c.version);
    d.letter = letter ? std::string(1, c.typeLetter) : "-";
    d.channels = std::to_string(c.channels);
    d.voltage = Volts(motor ? c.auxVoltage : c.voltage);
    d.aux = Volts(c.auxVoltage);
    if (c.version >= 0x151) {
      // A high-voltage console's first value fills all 16 bits, so its top bit is the status bit.
      const int bit = hv ? (static_cast<int>(std::lround(c.auxVoltage * 10)) >> 15) & 1 : c.statusBit;
      d.status = std::to_string(bit);
    }
    // The type-letter request of a console that does not answer it counts as a failed exchange:
    // one failure in four after registration.
    d.link = letter ? "100%" : "75%";
    d.repeat = letter && c.confirmation ? *c.confirmation : -1;
    out.push_back(d);
  }
  for (const sim::RadioConfig& r : bench.radios) {
    ExpectedDevice d;
    d.id = r.address;
    d.cls = "TRadioModule";
    d.version = Hex3(r.version);
    out.push_back(d);
  }
  for (const sim::PeerConfig& p : bench.peers) {
    ExpectedDevice d;
    d.id = 255;
    d.cls = "TSoftControl";
    d.version = "-";
    d.software = p.majorVersion;
    d.softwareText = KindText(p.majorVersion);
    char b[16];
    std::snprintf(b, sizeof b, "255:%02X", p.instance);
    d.idText = b;
    d.repeat = -1;
    out.push_back(d);
  }
  for (ExpectedDevice& d : out)
    if (d.idText.empty()) d.idText = std::to_string(d.id);
  std::stable_sort(out.begin(), out.end(),
                   [](const ExpectedDevice& a, const ExpectedDevice& b) { return a.id < b.id; });
  return out;
}

// One row of the text report's table, split at blanks: twelve columns, then the software text.
struct ReportRow {
  std::vector<std::string> cells;
  std::string software;
};

inline std::vector<ReportRow> TableRows(const std::string& report) {
  std::vector<ReportRow> rows;
  std::istringstream in(report);
  std::string line;
  bool inTable = false;
  while (std::getline(in, line)) {
    if (line.rfind("ID ", 0) == 0) {
      inTable = true;
      continue;
    }
    if (!inTable || line.empty()) continue;
    std::istringstream cells(line);
    ReportRow row;
    std::string cell;
    while (row.cells.size() < 12 && cells >> cell) row.cells.push_back(cell);
    std::getline(cells, row.software);
    const size_t first = row.software.find_first_not_of(' ');
    row.software = first == std::string::npos ? "" : row.software.substr(first);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace fd::testing
