// The bus engine's exchange side: opening, sending frames and request/reply exchanges. Everything
// here runs on the caller's thread (the user-interface thread) under PortLock.
#include <algorithm>
#include <array>

#include "bus/tport.h"

namespace fd::bus {

namespace {

// What a failed transmission means for the caller. A port that accepted nothing reports the
// port as not open rather than success.
int SendFailure(int sent) {
  if (sent > 0) return kBusTransferError;
  if (sent == 0) return kBusNotOpen;
  return sent;
}

}  // namespace

TPort::TPort(platform::Platform& platform, std::unique_ptr<TCommonPort> port)
    : platform_(platform),
      clock_(platform.GetClock()),
      port_(std::move(port)),
      // Only the first rxCount_ entries are ever read, so the buffers are not cleared first.
      rxBuffer_(std::make_unique_for_overwrite<uint8_t[]>(kRxBufferSize)),
      rxConverter_(std::make_unique_for_overwrite<int32_t[]>(kRxBufferSize)) {
  // Every transmission purges the converter first; what had arrived unread by then goes to the
  // receive buffer like any other foreign byte, so a stop broadcast heard during a burst of
  // exchanges reaches the frame scanner instead of being thrown away.
  if (port_)
    port_->OnUnreadBeforeSend = [this](const uint8_t* bytes, int count, int converter) {
      for (int i = 0; i < count; ++i) AppendForeignByte(bytes[i], converter);
    };
}

TPort::~TPort() {
  // The thread goes first: it uses the port until it has stopped.
  Terminate();
  ClosePort();
  if (port_) port_->OnUnreadBeforeSend = nullptr;
}

bool TPort::Open() {
  bool opened;
  {
    std::lock_guard lock(portLock_);
    opened = port_->Opened || port_->Open();
  }
  // The engine runs whether or not a converter was found: its first pass then announces the loss
  // and keeps reopening until one appears.
  if (!thread_.joinable() && !terminated_) thread_ = std::thread([this] { ThreadMain(); });
  return opened;
}

bool TPort::Connected() {
  std::lock_guard lock(portLock_);
  return port_->Opened;
}

void TPort::ClosePort() {
  std::lock_guard lock(portLock_);
  if (port_->Opened) port_->Close();
}

int TPort::Transmit(const BusFrame& frame, const Frame6& request, int converter) {
  if (!undelivered_.empty()) SendUndelivered(nullptr);
  const int sent = port_->Send(frame.data(), kFrameSize, converter);
  if (sent == kFrameSize) ++framesTaken_;
  if (OnFrameSent) OnFrameSent(request);
  if (sent == kFrameSize && OnFrameTaken) OnFrameTaken(request);
  return sent;
}

int TPort::SendStop(const Frame6& frame, int converter) {
  std::lock_guard lock(portLock_);
  const int sent = Transmit(MakeBusFrame(frame), frame, converter);
  if (sent == kFrameSize) return kBusOk;
  KeepUndelivered(frame, converter);
  return SendFailure(sent);
}

void TPort::KeepUndelivered(const Frame6& frame, int converter) {
  // The same stop twice is one stop: the operator pressing F6 again while the link is gone.
  for (const auto& kept : undelivered_)
    if (kept.first == frame && kept.second == converter) return;
  undelivered_.emplace_back(frame, converter);
  undeliveredCount_ = static_cast<int>(undelivered_.size());
}

void TPort::SendUndelivered(std::vector<Frame6>* sentLater) {
  if (!port_->Opened) return;
  size_t done = 0;
  while (done < undelivered_.size()) {
    const auto& [frame, converter] = undelivered_[done];
    const BusFrame wire = MakeBusFrame(frame);
    if (port_->Send(wire.data(), kFrameSize, converter) != kFrameSize) break;
    ++framesTaken_;
    if (sentLater != nullptr) {
      sentLater->push_back(frame);
    } else {
      if (OnFrameSent) OnFrameSent(frame);
      if (OnFrameTaken) OnFrameTaken(frame);
    }
    ++done;
  }
  undelivered_.erase(undelivered_.begin(), undelivered_.begin() + static_cast<std::ptrdiff_t>(done));
  undeliveredCount_ = static_cast<int>(undelivered_.size());
}

int TPort::SendFrame(const Frame6& frame, int converter) {
  std::lock_guard lock(portLock_);
  const int sent = Transmit(MakeBusFrame(frame), frame, converter);
  return sent == kFrameSize ? kBusOk : SendFailure(sent);
}

int TPort::ReadFromPort(uint8_t* buffer, int count, int& converter) {
  if (converter == -1) return port_->ReadAny(buffer, count, converter);
  return port_->Read(buffer, count, converter);
}

void TPort::AppendForeignByte(uint8_t byte, int converter) {
  std::lock_guard lock(rxLock_);
  // A full buffer drops the byte: the scanner empties it again within a pass or two, and a byte
  // written past its end would corrupt the engine.
  if (rxCount_ >= kRxBufferSize) return;
  rxBuffer_[rxCount_] = byte;
  rxConverter_[rxCount_] = converter;
  ++rxCount_;
}

namespace {

// Gives the port its own read time-out back when a listening window ends, however it ends: the
// engine loop and the identification read with it.
class ReadWaitRestore {
 public:
  explicit ReadWaitRestore(TCommonPort& port) : port_(port) {}
  ~ReadWaitRestore() { port_.LimitReadWait(0); }
  ReadWaitRestore(const ReadWaitRestore&) = delete;
  ReadWaitRestore& operator=(const ReadWaitRestore&) = delete;

 private:
  TCommonPort& port_;
};

}  // namespace

int TPort::ListenForReply(uint8_t replyCode, int converter, bool anyConverter, Frame6& reply, int& startConverter) {
  startConverter = -1;
  const uint32_t window = ReplyTimeout.load();
  const uint32_t t0 = clock_.TickCount();
  auto open = [&] { return platform::TicksSince(t0, clock_.TickCount()) <= window; };
  // No read may wait past the window (a whole read time-out after it would cost an empty address
  // up to 20 ms more on every probe of a sweep); the last one still waits 1 ms.
  ReadWaitRestore restore(*port_);
  auto readFromPort = [&](uint8_t* buffer, int count, int& from) {
    const uint32_t spent = platform::TicksSince(t0, clock_.TickCount());
    port_->LimitReadWait(spent >= window ? 1 : window - spent);
    return ReadFromPort(buffer, count, from);
  };

  // The candidate reply collected so far and the converter each of its bytes came from.
  BusFrame frame{};
  std::array<int, kFrameSize> frameFrom{};
  int got = 0;
  int rx = converter;
  bool started = false;
  bool accepted = false;
  for (;;) {
    if (got == 0) {
      // Hunt for a reply start byte by byte.
      bool found = false;
      do {
        uint8_t byte = 0;
        int from = anyConverter ? -1 : rx;
        const int n = readFromPort(&byte, 1, from);
        // A port that reports itself closed cannot deliver anything more in this window.
        if (n < 0) break;
        if (n == 0) continue;
        if (rx == -1 || anyConverter) rx = from;
        if (byte == replyCode) {
          frame[0] = byte;
          frameFrom[0] = from;
          found = true;
          break;
        }
        // Somebody else's traffic: the engine loop will find it in the receive buffer.
        AppendForeignByte(byte, from);
      } while (open());
      if (!found) break;
      got = 1;
      started = true;
      startConverter = frameFrom[0];
    }

    // The rest of the frame, read only as far as it goes, so nothing after it is taken. With -1
    // the read reports which converter the bytes came from, in case they are handed on.
    const int restFrom = anyConverter ? frameFrom[0] : converter;
    do {
      int from = restFrom;
      const int n = readFromPort(frame.data() + got, kFrameSize - got, from);
      if (n < 0) break;
      for (int i = got; i < got + n; ++i) frameFrom[i] = from;
      got += n;
    } while (got < kFrameSize && open());
    if (got < kFrameSize) break;
    if (FrameCrcMatches(frame.data())) {
      accepted = true;
      break;
    }

    // Not a reply: the start byte was somebody else's (or the reply was garbled). Hand over the
    // bytes up to the next candidate start and carry on while the window is open, so that a
    // foreign frame that merely contains the reply code neither hides the answer behind it nor
    // gets lost to the engine loop.
    int next = 1;
    while (next < kFrameSize && frame[next] != replyCode) ++next;
    for (int i = 0; i < next; ++i) AppendForeignByte(frame[i], frameFrom[i]);
    got = kFrameSize - next;
    std::copy(frame.begin() + next, frame.end(), frame.begin());
    std::copy(frameFrom.begin() + next, frameFrom.end(), frameFrom.begin());
    if (got > 0) startConverter = frameFrom[0];
    if (!open()) break;
  }

  if (!accepted) {
    // An incomplete candidate stays in the byte stream for the engine loop.
    for (int i = 0; i < got; ++i) AppendForeignByte(frame[i], frameFrom[i]);
    return started ? kBusTransferError : kBusNoReply;
  }
  std::copy_n(frame.begin(), 6, reply.begin());
  if (OnFrameReceived) OnFrameReceived(reply);
  return kBusOk;
}

void TPort::CollectFor(uint32_t ms) {
  std::lock_guard lock(portLock_);
  ReadWaitRestore restore(*port_);
  const uint32_t t0 = clock_.TickCount();
  for (;;) {
    const uint32_t spent = platform::TicksSince(t0, clock_.TickCount());
    if (spent >= ms) break;
    port_->LimitReadWait(ms - spent);
    uint8_t bytes[kFrameSize];
    int from = -1;
    const int n = port_->ReadAny(bytes, kFrameSize, from);
    if (n < 0) break;
    for (int i = 0; i < n; ++i) AppendForeignByte(bytes[i], from);
  }
}

int TPort::Exchange(const Frame6& request, uint8_t replyCode, int repeatMode, int converter, Frame6& reply) {
  std::lock_guard lock(portLock_);
  const BusFrame wire = MakeBusFrame(request);
  const int sent = Transmit(wire, request, converter);
  if (sent != kFrameSize) return SendFailure(sent);

  // With repetition: at most two transmissions and three listening windows; the third window
  // waits for a late answer to the second transmission.
  int attempts = 3;
  int result;
  for (;;) {
    int startConverter;
    result = ListenForReply(replyCode, converter, false, reply, startConverter);
    if (result == kBusOk || repeatMode == -1) break;
    --attempts;
    if (attempts > 1) Transmit(wire, request, converter);  // its result is not examined
    if (attempts == 0) break;
  }
  return result;
}

int TPort::ExchangeAny(const Frame6& request, uint8_t replyCode, int& converter, Frame6& reply) {
  std::lock_guard lock(portLock_);
  converter = -1;
  const int sent = Transmit(MakeBusFrame(request), request, -1);
  if (sent != kFrameSize) return SendFailure(sent);
  return ListenForReply(replyCode, -1, true, reply, converter);
}

}  // namespace fd::bus
