#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "bus/bus_frame.h"
#include "bus/common_port.h"
#include "platform/platform.h"

namespace fd::bus {

// Result codes of the bus engine.
inline constexpr int kBusOk = 0;
inline constexpr int kBusNotOpen = -1;
inline constexpr int kBusTransferError = -2;
inline constexpr int kBusNoReply = -3;
// A reply that arrived intact but does not say what was asked (record read-back and the like).
inline constexpr int kBusMismatch = -1;
// A command whose arguments do not fit its frame (an address outside 0..255, a channel number too
// big for its field, a time beyond 16 bits of tenths, a cue kind that is not a motion command) is
// refused without sending anything: a wrong frame could fire or store the wrong thing.
inline constexpr int kBusRefused = -1;
// The records that hold one motor cue were all read but disagree on its time: what the console
// keeps is not what was written, a difference in the scenario rather than a fault of the device.
inline constexpr int kBusGroupDisagrees = -6;

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
  // Stops the engine thread and waits for it (also done by the destructor). Call it on the
  // user-interface thread: while waiting it serves a hand-over the engine thread may be blocked in.
  void Terminate();

  // How many stop broadcasts (from the remote control or another operator program) the engine
  // has cut out of the bus so far. Read on any thread: the show player looks at it between the
  // cues of a burst, long before the frame itself is handed over.
  uint32_t StopBroadcastsHeard() const { return stopBroadcasts_.load(); }

  std::atomic<bool> Polling{true};
  std::atomic<uint32_t> ReplyTimeout{70};

  std::function<void(const Frame6&)> OnFrameReceived;
  std::function<void(const Frame6&)> OnFrameSent;
  // Like OnFrameSent, but only for a frame the converter took and echoed: what really went out.
  std::function<void(const Frame6&)> OnFrameTaken;
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
  int ReadMotorRecord(int address, int cueNumber, int repeatMode, int converter, int& timeMs, int& cueKind, int& param1,
                      int& param2);

  // --- stops that must reach the bus ---------------------------------------------------------
  // A stop the converter did not take (the stop broadcast, the stop announcement, a high-voltage
  // console's stop, sent while the converter was gone) is kept and goes out before anything else
  // as soon as the converter takes frames again: right at the reopen after a loss, on the engine
  // thread before it tells anybody the link is back, or in front of the next transmission.
  // How many are waiting; 0 once every one went out.
  int UndeliveredStops() const { return undeliveredCount_.load(); }

  // --- broadcasts and peer messages (SendFrame to every converter) ------------------------------
  int SyncRun(int timeMs);
  int SyncStop(int timeMs);
  int AnnounceStart(int timeMs);
  int AnnounceStop(int timeMs);
  int SendPeerSweep();
  // Holds the port for ms and puts every byte heard meanwhile into the receive buffer, where the
  // engine loop finds the frames. For answers that several devices send after their own pauses:
  // nothing is sent meanwhile that could talk over one of them, and no transmission's purge of the
  // converter can drop one that arrived after the loop's last read.
  void CollectFor(uint32_t ms);
  int SendPeerAnswer(int version, int askerNumber);
  int SendStateAnswer(int mode, int launchMode, int askerNumber);
  // Directed peer query: 300 ms reply window, one attempt, on the peer's converter.
  int QueryPeer(int peerNumber, int converter, int& version, int& instance);

 protected:
  platform::Platform& platform_;
  platform::Clock& clock_;
  std::unique_ptr<TCommonPort> port_;

 private:
  friend class TPortTestHook;

  // One listening window of an exchange (PortLock held): hunt for the reply start, then read the
  // rest of the frame. A candidate that fails its CRC goes to the receive buffer up to the next
  // byte that could start the reply, and the window carries on. Exchange (anyConverter false) hunts on converter, or
  // with -1 on whichever converter speaks first and then on that one, and reads the rest from converter as given.
  // ExchangeAny (anyConverter true) hunts on every converter and reads the rest from the converter
  // the reply start came from. startConverter receives that converter, -1 without a reply start.
  int ListenForReply(uint8_t replyCode, int converter, bool anyConverter, Frame6& reply, int& startConverter);
  int Transmit(const BusFrame& frame, const Frame6& request, int converter);
  // Sends a stop frame; one the converter does not take is kept (PortLock held by the caller).
  int SendStop(const Frame6& frame, int converter);
  void KeepUndelivered(const Frame6& frame, int converter);
  // Sends the kept stops in the order they were kept, as far as the converter takes them. Their
  // OnFrameSent comes at once, or, with sentLater (on the engine thread), is left to the caller.
  void SendUndelivered(std::vector<Frame6>* sentLater);
  void AppendForeignByte(uint8_t byte, int converter);
  // Read when converter is an index, ReadAny (which reports the converter) when it is -1.
  int ReadFromPort(uint8_t* buffer, int count, int& converter);

  // Engine loop steps.
  int BackgroundRead();
  void RecoverConnection();
  // Kept stops go out again on their own while the converter stays connected (it took the frame
  // but its echo was not heard, say): they must not wait for other traffic, of which there may be
  // none once a show has stopped.
  void RetryUndelivered();
  // OnFrameSent and OnFrameTaken for stops the engine thread sent (on the user-interface thread).
  void AnnounceSentStops(const std::vector<Frame6>& frames);
  int CutMessages();
  void DispatchMessages(int count);
  void HandOver(const std::function<void()>& fn);
  void ThreadMain();

  // Most commands build their request through these: code, four data bytes and the address in
  // byte 5; an address that is not a byte is refused.
  int Send6(int address, uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4, int converter);
  int Exchange6(int address, uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4, int repeatMode,
                int converter, Frame6& reply);
  int FireFrame(const Frame6& frame, bool replyWanted, int repeatMode, int converter, Frame6& reply);
  int ReadRecordSlot(int address, int wireNumber, int repeatMode, int converter, Frame6& reply);
  int SendToAll(uint8_t code, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4, uint8_t address);
  void Pause(uint32_t ms) { clock_.Sleep(ms); }

  // PortLock: every use of the port (an exchange from start to end, a background read, a reopen).
  // Recursive like the host's critical sections, so that an event handler called during an
  // exchange may itself use the engine. Taken before RxLock whenever both are held.
  std::recursive_mutex portLock_;
  // RxLock: the receive buffer, its converter indexes, its count and the message batch.
  std::mutex rxLock_;

  // Received, not yet parsed bytes and the converter each came from (kRxBufferSize entries each,
  // allocated once with the engine).
  std::unique_ptr<uint8_t[]> rxBuffer_;
  std::unique_ptr<int32_t[]> rxConverter_;
  int rxCount_ = 0;

  std::array<Frame6, kMaxMessages> messages_{};
  std::array<int, kMaxMessages> messageConverters_{};
  int messageCount_ = 0;

  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> threadFinished_{false};
  std::atomic<bool> inHandOver_{false};
  std::atomic<uint32_t> stopBroadcasts_{0};

  // Stops not yet taken by the converter (PortLock), and their count for any thread.
  std::vector<std::pair<Frame6, int>> undelivered_;
  std::atomic<int> undeliveredCount_{0};
  // When the engine last tried the kept stops (its own thread only).
  uint32_t undeliveredTriedAt_ = 0;
  // Transmissions the converter took, for telling whether an exchange put its frame on the wire.
  uint64_t framesTaken_ = 0;
};

using TPortProto = TPort;

}  // namespace fd::bus
