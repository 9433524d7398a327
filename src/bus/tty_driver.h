#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bus/converter_driver.h"

namespace fd::bus {

// The converter driver on Linux: the kernel's serial ttys through termios.
//
// Without a path it lists the FTDI converters (USB vendor 0403) that the kernel's usb-serial
// driver made into /dev/ttyUSB*, in the order of their tty numbers, with the USB serial number and
// product text. Given a path (--port) it lists exactly that device, whatever it is: another RS485
// adapter or a pseudo-terminal; its serial number is the path and its description "serial port".
//
// A device is opened exclusively (TIOCEXCL, and an advisory flock that other programs of this
// kind honour too; both go at close), non-blocking, in raw mode with VMIN = VTIME = 0 and no flow
// control; its previous line settings come back when it is closed. Reads and writes wait with
// poll up to the time-outs given with SetTimeouts (0: do not wait). The queue status fails once
// the device is gone (unplugged, or the other side of a pseudo-terminal closed): that is how the
// port notices a lost converter.
class TtyDriver : public ConverterDriver {
 public:
  static constexpr const char* kSysfsDir = "/sys/bus/usb-serial/devices";
  static constexpr const char* kDevDir = "/dev";
  static constexpr const char* kPortDescription = "serial port";

  TtyDriver();
  explicit TtyDriver(std::string portPath);
  ~TtyDriver() override;
  TtyDriver(const TtyDriver&) = delete;
  TtyDriver& operator=(const TtyDriver&) = delete;

  struct Listed {
    std::string path;
    std::string serial;
    std::string description;
  };
  // The FTDI converters found under sysfsDir (usb-serial devices), as devices in devDir.
  static std::vector<Listed> ScanSysfs(const std::string& sysfsDir, const std::string& devDir);

  FT_STATUS ListCount(uint32_t& count) override;
  FT_STATUS ListSerialNumber(uint32_t index, std::string& serial) override;
  FT_STATUS ListDescription(uint32_t index, std::string& description) override;

  FT_STATUS Open(uint32_t index, FT_HANDLE& handle) override;
  FT_STATUS SetBaudRate(FT_HANDLE handle, uint32_t baud) override;
  FT_STATUS SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
  FT_STATUS SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
  FT_STATUS SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) override;
  FT_STATUS SetDtr(FT_HANDLE handle) override;
  FT_STATUS ClrRts(FT_HANDLE handle) override;
  FT_STATUS Purge(FT_HANDLE handle, uint32_t mask) override;
  FT_STATUS GetQueueStatus(FT_HANDLE handle, uint32_t& rxBytes) override;
  FT_STATUS Read(FT_HANDLE handle, uint8_t* buffer, uint32_t count, uint32_t& got) override;
  FT_STATUS Write(FT_HANDLE handle, const uint8_t* data, uint32_t count, uint32_t& written) override;
  FT_STATUS Close(FT_HANDLE handle) override;

  // Why the last open failed, for the operator ("in use by another program: firnadesk-cli (pid
  // 812)", "Permission denied", "name too long"); empty after an open that succeeded. The port
  // counts a listed converter as open even when it is not, so this is the only place the reason
  // is kept.
  std::string OpenProblem();
  // Whether the last open failed because another program holds the device; holders then names
  // them ("firnadesk-cli (pid 812)") or is empty when the system does not tell.
  bool HeldByAnotherProgram(std::string& holders);
  // Called on the opening thread when an open fails for a reason other than the last one (the
  // engine retries every 100 ms: the same reason is told once). Set before the port opens.
  std::function<void(const std::string& problem)> OnOpenProblem;

  // "firnadesk-cli (pid 812)" for the programs that hold the device at path, from the kernel's
  // lock table or else from the open files of every process; empty when the system does not tell.
  static std::string DeviceHolders(const std::string& path);

 private:
  FT_STATUS OpenFailed(FT_STATUS status, std::string problem);
  struct Port;
  std::shared_ptr<Port> Find(FT_HANDLE handle);
  // Changes the line settings of an open device through fn(termios&) -> status.
  template <typename Fn>
  FT_STATUS ChangeLine(FT_HANDLE handle, Fn fn);

  std::string portPath_;  // empty: list FTDI converters from sysfs
  std::mutex mutex_;
  std::vector<Listed> listed_;  // the last listing; indexes refer to it
  std::map<FT_HANDLE, std::shared_ptr<Port>> ports_;
  FT_HANDLE nextHandle_ = 1;
  std::string openProblem_;
};

}  // namespace fd::bus
