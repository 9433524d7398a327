#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "sim/model_device.h"

namespace fd::sim {

enum class ChannelState {
  Connected,
  Open,    // not connected: measures on the far side of the threshold
  Broken,  // the measurement is never answered
};

struct ConsoleConfig {
  int address = 1;                            // 1..199
  int version = 0x165;                        // three hexadecimal digits, 0x000..0xFFF
  bool answersTypeLetter = true;              // false: 0x89 goes unanswered
  char typeLetter = 'S';                      // P motor, Q or R high-voltage, anything else standard
  int channels = 16;                          // 1..511
  std::optional<uint8_t> confirmation;        // the byte sent (with its complement) after "Ok"; none = no pair
  double auxVoltage = 12.0;                   // first status value, volts (tenths on a high-voltage console)
  double voltage = 24.0;                      // second status value, volts
  int statusBit = 0;                          // 0 or 1
  int reading = 0;                            // -99..99
  int hvParameter = 0;                        // 0..255, answered to 0x82
  std::map<int, ChannelState> channelStates;  // by wire channel number; absent = connected
  std::map<int, int> channelValues;           // raw measurement (thousandths) by channel number
  uint64_t turnaroundUs = kDefaultTurnaroundUs;
  uint64_t lateUs = 0;
  int memory = 0;  // records (cells) the console can keep; 0 = as many as it has channels
};

struct RadioConfig {
  int address = 240;  // 240..254
  int version = 0x100;
  uint64_t turnaroundUs = kDefaultTurnaroundUs;
  uint64_t lateUs = 0;
};

struct RemoteConfig {
  int version = 0x100;
  uint64_t turnaroundUs = kDefaultTurnaroundUs;
  uint64_t lateUs = 0;
};

struct PeerConfig {
  int instance = 1;      // 1..255
  int majorVersion = 2;  // 0..255, the first number of the peer program's version
  uint32_t seed = 0;     // 0 = the instance number; picks the answer delays
  uint64_t turnaroundUs = kDefaultTurnaroundUs;
  uint64_t lateUs = 0;
};

// Everything a bench file describes, in file order per kind of device.
struct BenchConfig {
  int converters = 1;
  std::vector<ConsoleConfig> consoles;
  std::vector<RadioConfig> radios;
  std::optional<RemoteConfig> remote;
  std::vector<PeerConfig> peers;
};

}  // namespace fd::sim
