// The Linux serial driver, on a pseudo-terminal that the test creates: the test plays the bus on
// the master side. Real time, kept short and with loose bounds. The converter listing is checked
// on a made-up sysfs tree.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "bus/bus_frame.h"
#include "bus/tty_driver.h"
#include "bus/usb_port.h"
#include "platform/steady_clock.h"

namespace fd::bus {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A pseudo-terminal pair. The slave is the "converter"; the master side is the bus, which can
// echo whatever the converter sends, as the RS485 pair does.
class PtyBus {
 public:
  PtyBus() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) == 0) path_ = name;
  }
  ~PtyBus() {
    StopEcho();
    CloseMaster();
  }

  bool Ok() const { return master_ >= 0 && !path_.empty(); }
  const std::string& Path() const { return path_; }

  void StartEcho() {
    echoing_ = true;
    echo_ = std::thread([this] {
      uint8_t buffer[256];
      while (echoing_) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0) continue;
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) Put(Bytes(buffer, buffer + n));
      }
    });
  }
  void StopEcho() {
    echoing_ = false;
    if (echo_.joinable()) echo_.join();
  }

  void Put(const Bytes& bytes) { ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string path_;
  std::atomic<bool> echoing_{false};
  std::thread echo_;
};

// Waits (briefly, in real time) until the port reports n bytes waiting.
bool WaitForBytes(TUSBPort& port, int n) {
  const auto start = Clock::now();
  while (MsSince(start) < 1000) {
    if (port.BytesAvailable() == n) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

class TtyOnPty : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bus.Ok()) << "no pseudo-terminal available"; }

  PtyBus bus;
  platform::SteadyClock clock;
};

TEST_F(TtyOnPty, ListsExactlyTheNamedDevice) {
  TtyDriver driver(bus.Path());
  uint32_t count = 0;
  ASSERT_EQ(driver.ListCount(count), FT_OK);
  EXPECT_EQ(count, 1u);
  std::string serial, description;
  EXPECT_EQ(driver.ListSerialNumber(0, serial), FT_OK);
  EXPECT_EQ(serial, bus.Path());
  EXPECT_EQ(driver.ListDescription(0, description), FT_OK);
  EXPECT_EQ(description, "serial port");
  EXPECT_EQ(driver.ListSerialNumber(1, serial), FT_DEVICE_NOT_FOUND);

  TtyDriver missing("/dev/firnadesk-no-such-port");
  ASSERT_EQ(missing.ListCount(count), FT_OK);
  EXPECT_EQ(count, 0u);
}

TEST_F(TtyOnPty, SendsWithEchoAndReadsTheAnswer) {
  TtyDriver driver(bus.Path());
  TUSBPort port(driver, clock, 1);
  ASSERT_TRUE(port.Open());
  bus.StartEcho();
  const BusFrame request = MakeBusFrame({0x80, 0x00, 0x01, 0x02, 0x03, 0x05});
  EXPECT_EQ(port.Send(request.data(), 7, 0), 7);
  bus.StopEcho();

  const BusFrame answer = MakeBusFrame({0x7F, 0x00, 0x31, 0x36, 0x35, 0x05});
  bus.Put(Bytes(answer.begin(), answer.end()));
  uint8_t buffer[7] = {};
  int converter = -1;
  EXPECT_EQ(port.ReadAny(buffer, 7, converter), 7);
  EXPECT_EQ(converter, 0);
  EXPECT_EQ(Bytes(buffer, buffer + 7), Bytes(answer.begin(), answer.end()));
}

TEST_F(TtyOnPty, SendWithoutEchoFailsAfterTheWindow) {
  TtyDriver driver(bus.Path());
  TUSBPort port(driver, clock, 1);
  ASSERT_TRUE(port.Open());
  const BusFrame request = MakeBusFrame({0x80, 0x00, 0x01, 0x02, 0x03, 0x05});
  const auto start = Clock::now();
  EXPECT_EQ(port.Send(request.data(), 7, 0), -2);
  EXPECT_GE(MsSince(start), 50);
  EXPECT_LT(MsSince(start), 1000);
}

TEST_F(TtyOnPty, ReadWaitsForTheTimeOutAndReturnsWhatCame) {
  TtyDriver driver(bus.Path());
  TUSBPort port(driver, clock, 1);
  ASSERT_TRUE(port.Open());
  uint8_t buffer[7];
  auto start = Clock::now();
  EXPECT_EQ(port.Read(buffer, 7, 0), 0);
  EXPECT_GE(MsSince(start), 15);
  EXPECT_LT(MsSince(start), 500);

  bus.Put({1, 2, 3});
  ASSERT_TRUE(WaitForBytes(port, 3));
  start = Clock::now();
  EXPECT_EQ(port.Read(buffer, 7, 0), 3);
  EXPECT_GE(MsSince(start), 15);
  EXPECT_EQ(buffer[2], 3);
}

TEST_F(TtyOnPty, QueueStatusAndPurge) {
  TtyDriver driver(bus.Path());
  TUSBPort port(driver, clock, 1);
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(port.BytesAvailable(), 0);
  bus.Put({1, 2, 3, 4, 5});
  ASSERT_TRUE(WaitForBytes(port, 5));
  ASSERT_EQ(port.FT()->PurgeRx(), FT_OK);
  EXPECT_EQ(port.BytesAvailable(), 0);
}

TEST_F(TtyOnPty, RawLineWhileOpenAndTheOldSettingsAfterClose) {
  // The test keeps its own descriptor of the slave to look at its line settings.
  const int look = ::open(bus.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(look, 0);
  termios before{};
  ASSERT_EQ(::tcgetattr(look, &before), 0);
  ASSERT_TRUE(before.c_lflag & ICANON);  // a fresh terminal is cooked

  TtyDriver driver(bus.Path());
  TUSBPort port(driver, clock, 1);
  ASSERT_TRUE(port.Open());
  termios line{};
  ASSERT_EQ(::tcgetattr(look, &line), 0);
  EXPECT_FALSE(line.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_EQ(line.c_cc[VMIN], 0);
  EXPECT_EQ(line.c_cc[VTIME], 0);
  EXPECT_EQ(::cfgetospeed(&line), B19200);
  EXPECT_EQ(line.c_cflag & CSIZE, CS8);
  EXPECT_FALSE(line.c_cflag & (CSTOPB | PARENB | CRTSCTS));
  EXPECT_FALSE(line.c_iflag & (IXON | IXOFF));

  port.Close();
  termios after{};
  ASSERT_EQ(::tcgetattr(look, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  ::close(look);
}

TEST_F(TtyOnPty, LineSettingsTheDeviceCannotTakeAreRefused) {
  TtyDriver driver(bus.Path());
  uint32_t count = 0;
  ASSERT_EQ(driver.ListCount(count), FT_OK);
  FT_HANDLE h = 0;
  ASSERT_EQ(driver.Open(0, h), FT_OK);
  EXPECT_EQ(driver.SetBaudRate(h, 12345), FT_INVALID_PARAMETER);
  EXPECT_EQ(driver.SetDataCharacteristics(h, 5, FT_STOP_BITS_1, 0), FT_INVALID_PARAMETER);
  EXPECT_EQ(driver.SetFlowControl(h, FT_FLOW_DTR_DSR, 17, 19), FT_INVALID_PARAMETER);
  EXPECT_EQ(driver.SetDtr(h), FT_OK);  // a pseudo-terminal has no modem lines: not an error
  EXPECT_EQ(driver.ClrRts(h), FT_OK);
  EXPECT_EQ(driver.Close(h), FT_OK);
  EXPECT_EQ(driver.Close(h), FT_INVALID_HANDLE);
  uint32_t n = 0;
  EXPECT_EQ(driver.GetQueueStatus(h, n), FT_INVALID_HANDLE);
}

TEST_F(TtyOnPty, ADeviceHeldByAnotherProgramDoesNotOpen) {
  TtyDriver first(bus.Path());
  TUSBPort holder(first, clock, 1);
  ASSERT_TRUE(holder.Open());
  TtyDriver second(bus.Path());
  TUSBPort port(second, clock, 1);
  EXPECT_TRUE(port.Open());              // listed...
  EXPECT_EQ(port.BytesAvailable(), -1);  // ...but not ours
  // The holder is this process, which the search for other programs passes over.
  EXPECT_EQ(second.OpenProblem(), "in use by another program (the system does not tell which)");
  std::string holders = "stale";
  EXPECT_TRUE(second.HeldByAnotherProgram(holders));
  EXPECT_EQ(holders, "");
  holder.Close();
  EXPECT_TRUE(port.Reopen());
  EXPECT_EQ(port.BytesAvailable(), 0);
  EXPECT_EQ(second.OpenProblem(), "");
  EXPECT_FALSE(second.HeldByAnotherProgram(holders));
}

TEST_F(TtyOnPty, AVanishedDeviceFailsItsQueueStatusAndDoesNotReopen) {
  TtyDriver driver(bus.Path());
  TUSBPort port(driver, clock, 1);
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(port.BytesAvailable(), 0);
  bus.CloseMaster();
  EXPECT_EQ(port.BytesAvailable(), -1);
  uint8_t buffer[7];
  const auto start = Clock::now();
  EXPECT_EQ(port.Read(buffer, 7, 0), 0);
  EXPECT_LT(MsSince(start), 500);
  EXPECT_FALSE(port.Reopen());
  EXPECT_FALSE(port.Opened);
}

// --- listing FTDI converters from sysfs ---------------------------------------------------------

class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("firnadesk-sysfs-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "bus");
  }
  void TearDown() override { fs::remove_all(root); }

  // A USB device with one serial interface whose tty is `tty`; attributes left empty are absent.
  void AddUsbSerial(const std::string& usbName, const std::string& tty, const std::string& vendor,
                    const std::string& serial, const std::string& product) {
    const fs::path usb = root / "devices" / "usb1" / usbName;
    const fs::path ttyDir = usb / (usbName + ":1.0") / tty;
    fs::create_directories(ttyDir);
    Write(usb / "idVendor", vendor + "\n");
    if (!serial.empty()) Write(usb / "serial", serial + "\n");
    if (!product.empty()) Write(usb / "product", product + "\n");
    fs::create_symlink(ttyDir, root / "bus" / tty);
  }
  static void Write(const fs::path& file, const std::string& text) { std::ofstream(file) << text; }

  fs::path root;
};

TEST_F(FakeSysfs, ListsFtdiConvertersInTtyNumberOrder) {
  AddUsbSerial("1-1", "ttyUSB10", "0403", "FT4ABCDE", "USB-RS485 Cable");
  AddUsbSerial("1-2", "ttyUSB2", "0403", "", "FT232R USB UART");
  AddUsbSerial("1-3", "ttyUSB0", "067b", "PL0001", "USB-Serial Controller");  // not FTDI
  fs::create_directories(root / "bus" / "ttyS0");                             // not usb-serial

  const auto listed = TtyDriver::ScanSysfs((root / "bus").string(), "/dev");
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].path, "/dev/ttyUSB2");
  EXPECT_EQ(listed[0].serial, "");  // no serial number in its memory
  EXPECT_EQ(listed[0].description, "FT232R USB UART");
  EXPECT_EQ(listed[1].path, "/dev/ttyUSB10");
  EXPECT_EQ(listed[1].serial, "FT4ABCDE");
  EXPECT_EQ(listed[1].description, "USB-RS485 Cable");

  EXPECT_TRUE(TtyDriver::ScanSysfs((root / "nothing-here").string(), "/dev").empty());
}

}  // namespace
}  // namespace fd::bus
