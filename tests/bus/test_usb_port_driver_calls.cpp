// What the converter objects hand to the driver: the calls, their order and their values, and
// how the driver's status codes are combined. Runs on a recording driver and the virtual clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bus/usb_port.h"
#include "bus/usb_port_ft.h"
#include "platform/virtual_platform.h"

namespace fd::bus {
namespace {

using ::testing::ElementsAre;

// A driver that writes down every call. Handles are 100 + device index; the echo of a write lands
// in the device's receive queue unless it has none; a read short of its count waits the read
// time-out on the virtual clock.
class RecordingDriver : public ConverterDriver {
 public:
  struct Device {
    std::string serial = "FT0001";
    std::string description = "USB-RS485 Cable";
    FT_STATUS serialStatus = FT_OK;
    FT_STATUS descriptionStatus = FT_OK;
    FT_STATUS openStatus = FT_OK;
    FT_STATUS purgeStatus = FT_OK;
    FT_STATUS queueStatus = FT_OK;
    bool echo = true;
    std::deque<uint8_t> rx;
    uint32_t readTimeout = 0;
  };

  explicit RecordingDriver(platform::VirtualClock& clock, int count = 1) : clock_(clock), devices(count) {}

  FT_STATUS ListCount(uint32_t& count) override {
    Log("ListCount");
    count = static_cast<uint32_t>(devices.size());
    return listStatus;
  }
  FT_STATUS ListSerialNumber(uint32_t index, std::string& serial) override {
    Log("ListSerialNumber " + std::to_string(index));
    serial = devices.at(index).serial;
    return devices.at(index).serialStatus;
  }
  FT_STATUS ListDescription(uint32_t index, std::string& description) override {
    Log("ListDescription " + std::to_string(index));
    description = devices.at(index).description;
    return devices.at(index).descriptionStatus;
  }
  FT_STATUS Open(uint32_t index, FT_HANDLE& handle) override {
    Log("Open " + std::to_string(index));
    if (devices.at(index).openStatus != FT_OK) return devices.at(index).openStatus;
    handle = 100 + index;
    return FT_OK;
  }
  FT_STATUS SetBaudRate(FT_HANDLE h, uint32_t baud) override { return Call(h, "SetBaudRate " + std::to_string(baud)); }
  FT_STATUS SetDataCharacteristics(FT_HANDLE h, uint8_t word, uint8_t stop, uint8_t parity) override {
    return Call(h, "SetDataCharacteristics " + std::to_string(word) + " " + std::to_string(stop) + " " +
                       std::to_string(parity));
  }
  FT_STATUS SetFlowControl(FT_HANDLE h, uint16_t flow, uint8_t xon, uint8_t xoff) override {
    char text[64];
    std::snprintf(text, sizeof text, "SetFlowControl 0x%04X %d %d", flow, xon, xoff);
    return Call(h, text);
  }
  FT_STATUS SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) override {
    if (Dev(h)) Dev(h)->readTimeout = readMs;
    return Call(h, "SetTimeouts " + std::to_string(readMs) + " " + std::to_string(writeMs));
  }
  FT_STATUS SetDtr(FT_HANDLE h) override { return Call(h, "SetDtr"); }
  FT_STATUS ClrRts(FT_HANDLE h) override { return Call(h, "ClrRts"); }
  FT_STATUS Purge(FT_HANDLE h, uint32_t mask) override {
    const FT_STATUS status = Call(h, "Purge " + std::to_string(mask));
    if (status != FT_OK) return status;
    if (mask & FT_PURGE_RX) Dev(h)->rx.clear();
    return Dev(h)->purgeStatus;
  }
  FT_STATUS GetQueueStatus(FT_HANDLE h, uint32_t& n) override {
    n = 0;
    const FT_STATUS status = Call(h, "GetQueueStatus");
    if (status != FT_OK) return status;
    n = static_cast<uint32_t>(Dev(h)->rx.size());
    return Dev(h)->queueStatus;
  }
  FT_STATUS Read(FT_HANDLE h, uint8_t* buffer, uint32_t count, uint32_t& got) override {
    got = 0;
    const FT_STATUS status = Call(h, "Read " + std::to_string(count));
    if (status != FT_OK) return status;
    Device& d = *Dev(h);
    if (d.rx.size() < count) clock_.Sleep(d.readTimeout);
    while (got < count && !d.rx.empty()) {
      buffer[got++] = d.rx.front();
      d.rx.pop_front();
    }
    return FT_OK;
  }
  FT_STATUS Write(FT_HANDLE h, const uint8_t* data, uint32_t count, uint32_t& written) override {
    written = 0;
    const FT_STATUS status = Call(h, "Write " + std::to_string(count));
    if (status != FT_OK) return status;
    written = count - writeShortBy;
    if (Dev(h)->echo) Dev(h)->rx.insert(Dev(h)->rx.end(), data, data + written);
    return FT_OK;
  }
  FT_STATUS Close(FT_HANDLE h) override { return Call(h, "Close"); }

  // The calls made to one handle, in order.
  std::vector<std::string> CallsOn(FT_HANDLE h) const {
    std::vector<std::string> out;
    const std::string prefix = std::to_string(h) + ": ";
    for (const auto& c : calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c.substr(prefix.size()));
    return out;
  }

  FT_STATUS listStatus = FT_OK;
  uint32_t writeShortBy = 0;
  std::vector<std::string> calls;

 private:
  Device* Dev(FT_HANDLE h) {
    if (h < 100 || h >= 100 + devices.size()) return nullptr;
    return &devices[h - 100];
  }
  FT_STATUS Call(FT_HANDLE h, const std::string& what) {
    Log(std::to_string(h) + ": " + what);
    return Dev(h) ? FT_OK : FT_INVALID_HANDLE;
  }
  void Log(const std::string& what) { calls.push_back(what); }

  platform::VirtualClock& clock_;

 public:
  std::vector<Device> devices;
};

TEST(TUSBPortFT, StartsWithTheConverterDefaults) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock);
  TUSBPortFT ft(driver);
  EXPECT_EQ(ft.DataBits, 8);
  EXPECT_EQ(ft.StopBits, 1);
  EXPECT_EQ(ft.Parity, 0);
  EXPECT_EQ(ft.FlowControl, 0);
  EXPECT_EQ(ft.XonChar, 17);
  EXPECT_EQ(ft.XoffChar, 19);
  EXPECT_EQ(ft.ReadTimeout, 0u);
  EXPECT_EQ(ft.WriteTimeout, 0u);
  EXPECT_EQ(ft.MaxDevices, 1);
  EXPECT_EQ(ft.Devices.Count(), 0);
  // Nothing listed: every operation over all converters is a successful no-op.
  uint32_t total = 7;
  EXPECT_EQ(ft.QueueStatus(total), FT_OK);
  EXPECT_EQ(total, 0u);
  EXPECT_EQ(ft.PurgeRx(), FT_OK);
  EXPECT_EQ(ft.CloseAll(), FT_OK);
  EXPECT_TRUE(driver.calls.empty());
}

TEST(TUSBPortFT, ConfigureHandsOverFlowCodeAndStopBits) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock);
  TUSBPortFT ft(driver);
  ft.Devices.Refresh();
  ASSERT_EQ(ft.OpenAll(), FT_OK);
  ft.ReadTimeout = 20;
  ft.WriteTimeout = 30;

  const uint16_t expectedFlow[] = {0x0000, 0x0100, 0x0200, 0x0400};
  for (uint8_t flow = 0; flow < 4; ++flow) {
    ft.FlowControl = flow;
    EXPECT_EQ(ft.FlowCode(), expectedFlow[flow]);
  }
  const std::pair<uint8_t, uint8_t> stopBits[] = {
      {1, FT_STOP_BITS_1}, {2, FT_STOP_BITS_2}, {0, FT_STOP_BITS_1}, {3, FT_STOP_BITS_1}};
  for (auto [field, code] : stopBits) {
    ft.StopBits = field;
    EXPECT_EQ(ft.StopBitsCode(), code) << int(field);
  }

  driver.calls.clear();
  ft.FlowControl = 3;
  ft.StopBits = 2;
  ft.Parity = 2;
  EXPECT_EQ(ft.Configure(), FT_OK);
  EXPECT_THAT(driver.CallsOn(100), ElementsAre("SetBaudRate 19200", "SetDataCharacteristics 8 2 2",
                                               "SetFlowControl 0x0400 17 19", "SetTimeouts 20 30"));
}

TEST(TUSBPortFT, StatusesOfAllConvertersAreOred) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock, 3);
  TUSBPortFT ft(driver);
  ft.MaxDevices = 3;
  ft.Devices.Refresh();
  ASSERT_EQ(ft.Devices.Count(), 3);
  ASSERT_EQ(ft.OpenAll(), FT_OK);

  driver.devices[0].purgeStatus = FT_INVALID_HANDLE;  // 1
  driver.devices[2].purgeStatus = FT_IO_ERROR;        // 4
  EXPECT_EQ(ft.PurgeRx(), FT_INVALID_HANDLE | FT_IO_ERROR);

  driver.devices[0].rx = {1, 2, 3};
  driver.devices[1].rx = {4, 5};
  driver.devices[2].rx = {6};
  uint32_t total = 0;
  EXPECT_EQ(ft.QueueStatus(total), FT_OK);
  EXPECT_EQ(total, 6u);
  // A failing converter adds nothing to the total but spoils the status.
  driver.devices[1].queueStatus = FT_IO_ERROR;
  EXPECT_EQ(ft.QueueStatus(total), FT_IO_ERROR);
  EXPECT_EQ(total, 4u);

  // A converter that did not open keeps handle 0 and fails every later call.
  driver.devices[1].openStatus = FT_DEVICE_NOT_OPENED;
  EXPECT_EQ(ft.CloseAll(), FT_OK);
  EXPECT_EQ(ft.OpenAll(), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(ft.Devices.Item(1)->Handle, 0u);
  EXPECT_EQ(ft.SetDtr(), FT_INVALID_HANDLE);
  EXPECT_EQ(ft.ClrRts(), FT_INVALID_HANDLE);
}

TEST(TUSBDevices, RefreshListsUpToTheLimitAndLeavesOutUnreadableConverters) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock, 3);
  driver.devices[1].serial = "FT0002";
  driver.devices[2].serial = "FT0003";
  TUSBPortFT ft(driver);
  ft.Devices.Refresh();
  ASSERT_EQ(ft.Devices.Count(), 1);
  EXPECT_EQ(ft.Devices.Item(0)->SerialNumber, "FT0001");
  EXPECT_EQ(ft.Devices.Item(0)->Description, "USB-RS485 Cable");
  EXPECT_EQ(ft.Devices.Item(0)->Handle, 0u);
  EXPECT_THAT(driver.calls, ElementsAre("ListCount", "ListSerialNumber 0", "ListDescription 0"));
  EXPECT_EQ(ft.Devices.Item(1), nullptr);

  // Converter 0 cannot tell its serial number, converter 1 its description: only 2 is listed,
  // and opening it opens the driver's device 2, not device 0.
  driver.devices[0].serialStatus = FT_OTHER_ERROR;
  driver.devices[1].descriptionStatus = FT_OTHER_ERROR;
  ft.MaxDevices = 3;
  ft.Devices.Refresh();
  ASSERT_EQ(ft.Devices.Count(), 1);
  EXPECT_EQ(ft.Devices.Item(0)->SerialNumber, "FT0003");
  driver.calls.clear();
  ft.OpenAll();
  EXPECT_EQ(driver.calls.front(), "Open 2");
  EXPECT_EQ(ft.Devices.Item(0)->Handle, 102u);

  driver.listStatus = FT_OTHER_ERROR;
  ft.Devices.Refresh();
  EXPECT_EQ(ft.Devices.Count(), 0);
}

TEST(TUSBDevices, TextsAreCutTo255BytesWithoutSplittingACharacter) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock);
  driver.devices[0].serial = std::string(300, 'S');
  driver.devices[0].description = std::string(254, 'D') + "Ж";  // two bytes at 254..255
  TUSBPortFT ft(driver);
  ft.Devices.Refresh();
  ASSERT_EQ(ft.Devices.Count(), 1);
  EXPECT_EQ(ft.Devices.Item(0)->SerialNumber, std::string(255, 'S'));
  EXPECT_EQ(ft.Devices.Item(0)->Description, std::string(254, 'D'));
  EXPECT_EQ(CutText("Ж", 255), "Ж");
}

TEST(TUSBPortFT, ReadFromAndWriteToTouchOnlyTheirConverter) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock, 2);
  TUSBPortFT ft(driver);
  ft.MaxDevices = 2;
  ft.Devices.Refresh();
  ft.OpenAll();
  driver.calls.clear();

  driver.devices[1].rx = {9, 9, 9};  // unread input goes before anything is sent
  const uint8_t data[3] = {1, 2, 3};
  EXPECT_EQ(ft.WriteTo(1, data, 3), 3);
  EXPECT_THAT(driver.calls, ElementsAre("101: Purge 1", "101: Purge 2", "101: Write 3"));
  uint8_t buffer[8] = {};
  EXPECT_EQ(ft.ReadFrom(1, buffer, 8), 3);
  EXPECT_THAT(std::vector<uint8_t>(buffer, buffer + 3), ElementsAre(1, 2, 3));

  driver.calls.clear();
  EXPECT_EQ(ft.ReadFrom(2, buffer, 8), 0);  // no such converter: nothing is called
  EXPECT_EQ(ft.WriteTo(-1, data, 3), 0);
  EXPECT_EQ(ft.ReadFrom(0, buffer, 0), 0);
  EXPECT_TRUE(driver.calls.empty());

  driver.writeShortBy = 1;
  EXPECT_EQ(ft.WriteTo(0, data, 3), 2);
}

TEST(TUSBPort, OpenListsOpensConfiguresPurgesAndSetsTheLines) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock);
  TUSBPort port(driver, clock, 1);
  EXPECT_FALSE(port.Opened);
  EXPECT_EQ(port.ConverterCount(), 0);
  EXPECT_EQ(port.ConverterLimit(), 1);
  ASSERT_TRUE(port.Open());
  EXPECT_TRUE(port.Opened);
  EXPECT_EQ(port.ConverterCount(), 1);
  EXPECT_THAT(driver.calls,
              ElementsAre("ListCount", "ListSerialNumber 0", "ListDescription 0", "Open 0", "100: SetBaudRate 19200",
                          "100: SetDataCharacteristics 8 0 0", "100: SetFlowControl 0x0000 17 19",
                          "100: SetTimeouts 20 20", "100: Purge 1", "100: Purge 2", "100: SetDtr", "100: ClrRts"));

  // Opening again starts from a clean close, so the converter is never held twice.
  driver.calls.clear();
  ASSERT_TRUE(port.Open());
  ASSERT_GE(driver.calls.size(), 2u);
  EXPECT_EQ(driver.calls[0], "100: Close");
  EXPECT_EQ(driver.calls[1], "ListCount");

  driver.calls.clear();
  port.Close();
  EXPECT_FALSE(port.Opened);
  EXPECT_EQ(port.FT(), nullptr);
  EXPECT_THAT(driver.calls, ElementsAre("100: Close"));
  port.Close();  // closing a closed port calls nothing
  EXPECT_THAT(driver.calls, ElementsAre("100: Close"));
}

TEST(TUSBPort, NoConverterListedLeavesThePortClosed) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock, 0);
  TUSBPort port(driver, clock, 1);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.FT(), nullptr);
  EXPECT_EQ(port.BytesAvailable(), 0);
  uint8_t buffer[7] = {};
  int converter = 5;
  EXPECT_EQ(port.Read(buffer, 7, 0), -1);
  EXPECT_EQ(port.ReadAny(buffer, 7, converter), -1);
  EXPECT_EQ(converter, 5);  // untouched
  const uint64_t before = clock.Elapsed();
  EXPECT_EQ(port.Send(buffer, 7, -1), -1);
  EXPECT_EQ(clock.Elapsed(), before);  // no gap, no echo wait
}

TEST(TUSBPort, DestroyingAnOpenPortReleasesTheConverter) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock);
  {
    TUSBPort port(driver, clock, 1);
    port.Open();
    driver.calls.clear();
  }
  EXPECT_THAT(driver.calls, ElementsAre("100: Close"));
}

TEST(TUSBPort, SendOnEveryConverterReturnsTheResultOfTheLast) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock, 2);
  TUSBPort port(driver, clock, 2);
  ASSERT_TRUE(port.Open());
  const uint8_t frame[7] = {0x80, 0, 1, 2, 3, 5, 0x40};
  EXPECT_EQ(port.Send(frame, 7, -1), 7);
  EXPECT_EQ(driver.CallsOn(100).back(), "Read 7");
  EXPECT_EQ(driver.CallsOn(101).back(), "Read 7");

  driver.devices[1].echo = false;
  EXPECT_EQ(port.Send(frame, 7, -1), -2);
  driver.devices[1].echo = true;
  driver.devices[0].echo = false;
  EXPECT_EQ(port.Send(frame, 7, -1), 7);  // the first converter's failure is not the result
  EXPECT_EQ(port.Send(frame, 7, 1), 7);
  EXPECT_EQ(port.Send(frame, 7, 0), -2);

  // A write that is not fully accepted fails without waiting for an echo.
  driver.devices[0].echo = true;
  driver.writeShortBy = 1;
  driver.calls.clear();
  EXPECT_EQ(port.Send(frame, 7, 0), -2);
  EXPECT_THAT(driver.CallsOn(100), ElementsAre("Purge 1", "Purge 2", "Write 7"));
}

TEST(TUSBPort, SendRefusesMoreThanTheEchoBufferHolds) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock);
  TUSBPort port(driver, clock, 1);
  ASSERT_TRUE(port.Open());
  std::vector<uint8_t> data(129, 0x55);
  driver.calls.clear();
  const uint64_t before = clock.Elapsed();
  EXPECT_EQ(port.Send(data.data(), 129, 0), -2);
  EXPECT_TRUE(driver.calls.empty());
  EXPECT_EQ(clock.Elapsed(), before);
  EXPECT_EQ(port.Send(data.data(), 0, 0), -2);
  EXPECT_EQ(port.Send(data.data(), 128, 0), 128);
}

TEST(TUSBPort, ReadGoesOverTheConvertersUntilOneHasData) {
  platform::VirtualClock clock;
  RecordingDriver driver(clock, 3);
  TUSBPort port(driver, clock, 3);
  ASSERT_TRUE(port.Open());
  driver.devices[2].rx = {7, 8};
  uint8_t buffer[2] = {};
  int converter = -5;
  EXPECT_EQ(port.ReadAny(buffer, 2, converter), 2);
  EXPECT_EQ(converter, 2);
  EXPECT_EQ(buffer[0], 7);

  driver.devices[1].rx = {4};
  EXPECT_EQ(port.Read(buffer, 1, -1), 1);
  EXPECT_EQ(buffer[0], 4);
  driver.devices[0].rx = {1};
  EXPECT_EQ(port.Read(buffer, 1, 2), 0);  // a named converter only
  EXPECT_EQ(port.BytesAvailable(), 1);
  driver.devices[1].queueStatus = FT_IO_ERROR;
  EXPECT_EQ(port.BytesAvailable(), -1);
}

// A driver whose read waits until the test lets it go, to see what the lock keeps out meanwhile.
class GatedDriver : public RecordingDriver {
 public:
  using RecordingDriver::RecordingDriver;
  FT_STATUS Read(FT_HANDLE, uint8_t*, uint32_t, uint32_t& got) override {
    got = 0;
    std::unique_lock lock(mutex_);
    reading_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_; });
    reading_ = false;
    return FT_OK;
  }
  FT_STATUS ListCount(uint32_t& count) override {
    std::lock_guard lock(mutex_);
    ++listings_;
    if (reading_) listedDuringRead_ = true;
    count = static_cast<uint32_t>(devices.size());
    return FT_OK;
  }
  void WaitUntilReading() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return reading_; });
  }
  int Listings() {
    std::lock_guard lock(mutex_);
    return listings_;
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  bool ListedDuringRead() {
    std::lock_guard lock(mutex_);
    return listedDuringRead_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool reading_ = false, released_ = false, listedDuringRead_ = false;
  int listings_ = 0;
};

TEST(TUSBPortFT, RefreshWaitsForARunningRead) {
  platform::VirtualClock clock;
  GatedDriver driver(clock);
  TUSBPortFT ft(driver);
  ft.Devices.Refresh();
  ASSERT_EQ(ft.Devices.Count(), 1);
  std::thread reader([&] {
    uint8_t buffer[7];
    ft.ReadFrom(0, buffer, 7);
  });
  driver.WaitUntilReading();
  std::thread lister([&] { ft.Devices.Refresh(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  driver.Release();
  reader.join();
  lister.join();
  EXPECT_EQ(driver.Listings(), 2);
  EXPECT_FALSE(driver.ListedDuringRead());
}

}  // namespace
}  // namespace fd::bus
