#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "bus/bus_frame.h"
#include "bus/common_port.h"
#include "platform/platform.h"

namespace fd::bus {

// Result codes of the bus engine.
inline constexpr int kBusOk = 0;
inline constexpr int kBusNotOpen = -1;
inline constexpr int kBusTransferError = -2;
inline constexpr int kBusNoReply = -3;

// The bus engine: owns the port, runs request/reply exchanges for callers on the user-interface
// thread, and reads the bus in the background on its own thread, cutting unsolicited frames out of
// the byte stream and handing them to the user-interface thread.
//
// Argument order of the commands: address first, then the command's own inputs (channel index,
// level, time, slot or cue number, flags), then repeat mode and converter; outputs by reference.
// Channel arguments are 0-based indexes; the wire carries index + 1.
class TPort {
 public:
  TPort(platform::Platform& platform, std::unique_ptr<TCommonPort> port);
  virtual ~TPort();
  TPort(const TPort&) = delete;
  TPort& operator=(const TPort&) = delete;

  // --- engine ---------------------------------------------------------------------------------
  bool Open();  // opens the port if needed and starts the engine thread
  bool Connected();
  void ClosePort();

  int SendFrame(const Frame6& frame, int converter);
  int Exchange(const Frame6& request, uint8_t replyCode, int repeatMode, int converter, Frame6& reply);
  int ExchangeAny(const Frame6& request, uint8_t replyCode, int& converter, Frame6& reply);

  // One pass of the engine loop (what the thread repeats). Tests call it without the thread.
  void ExecutePass();
  // Stops the engine thread and waits for it (also done by the destructor).
  void Terminate();

  std::atomic<bool> Polling{true};
  std::atomic<uint32_t> ReplyTimeout{70};

  std::function<void(const Frame6&)> OnFrameReceived;
  std::function<void(const Frame6&)> OnFrameSent;
  std::function<void(const Frame6&, int converter)> OnMessage;
  std::function<void()> OnConnectionLost;
  std::function<void()> OnConnectionRestored;

  static constexpr int kRxBufferSize = 65536;
  static constexpr int kMaxMessages = 128;

  // --- console and device commands --------------------------------------------------------------
  int ReadVersion(int address, int repeatMode, int converter, int& version);
  int ReadHVParameter(int address, int repeatMode, int converter, int& value);
  int MeasureChannel(int address, int channel, int repeatMode, int converter, double& value);
  int FireChannel(int address, int channel, bool replyWanted, int repeatMode, int converter, double& value);
  int FireChannelLevel(int address, int channel, int level, bool replyWanted, int repeatMode, int converter);
  int SetLevel(int address, int level, int repeatMode, int converter);
  int ReadStatus(int address, int repeatMode, int converter, double& value1, double& value2, uint8_t& statusBit);
  int ReadHVStatus(int address, int repeatMode, int converter, double& value1, double& value2, uint8_t& statusBit);
  int HVStop(int address, int repeatMode, int converter);
  int ReadTypeLetter(int address, int repeatMode, int converter, int& timeMs, char& letter);
  int MotorCommand(int address, int cueKind, int param1, int param2, int repeatMode, int converter);
  int ReadReading(int address, int repeatMode, int converter, double& reading);
  int ReadChannelCount(int address, int repeatMode, int converter, int& count);
  int CheckAlive(int address, int converter);
  int Identify(int address, int converter, int& count, int& confirmation);
  int WriteRecordNoReply(int address, int channel, int timeMs, int converter);
  int WriteRecord(int address, int channel, int timeMs, int repeatMode, int converter);
  int WriteMotorRecord(int address, int timeMs, int cueKind, int param1, int param2, int repeatMode, int converter);
  int ReadRecordTime(int address, int channel, int repeatMode, int converter, int& timeMs);
  int ReadRecord(int address, int slot, int repeatMode, int converter, int& timeMs, int& channel);
  int ReadRecordFine(int address, int slot, int repeatMode, int converter, int& timeMs, int& channel);
  int ReadMotorRecord(int address, int cueNumber, int repeatMode, int converter, int& timeMs, int& cueKind,
                      int& param1, int& param2);

  // --- broadcasts and peer messages (SendFrame to every converter) ------------------------------
  int SyncRun(int timeMs);
  int SyncStop(int timeMs);
  int AnnounceStart(int timeMs);
  int AnnounceStop(int timeMs);
  int SendPeerSweep();
  int SendPeerAnswer(int version, int askerNumber);
  int SendStateAnswer(int mode, int launchMode, int askerNumber);
  // Directed peer query: 300 ms reply window, one attempt, on the peer's converter.
  int QueryPeer(int peerNumber, int converter, int& version, int& instance);

 protected:
  platform::Platform& platform_;
  platform::Clock& clock_;
  std::unique_ptr<TCommonPort> port_;

 private:
  // Engine internals: locks, receive buffer, message batch, thread (filled in with the engine).
};

using TPortProto = TPort;

}  // namespace fd::bus
