// The bus engine's exchange side: opening, sending frames and request/reply exchanges. Everything
// here runs on the caller's thread (the user-interface thread) under PortLock.
#include <algorithm>

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
      rxBuffer_(new uint8_t[kRxBufferSize]()),
      rxConverter_(new int32_t[kRxBufferSize]()) {}

TPort::~TPort() {
  // The thread goes first: it uses the port until it has stopped.
  Terminate();
  ClosePort();
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
  const int sent = port_->Send(frame.data(), kFrameSize, converter);
  if (OnFrameSent) OnFrameSent(request);
  return sent;
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

int TPort::ListenForReply(uint8_t replyCode, int converter, bool anyConverter, Frame6& reply, int& startConverter) {
  startConverter = -1;
  const uint32_t window = ReplyTimeout.load();
  const uint32_t t0 = clock_.TickCount();
  auto open = [&] { return platform::TicksSince(t0, clock_.TickCount()) <= window; };

  BusFrame frame{};
  int rx = converter;
  bool started = false;
  do {
    uint8_t byte = 0;
    int from = anyConverter ? -1 : rx;
    const int got = ReadFromPort(&byte, 1, from);
    // A port that reports itself closed cannot deliver anything more in this window.
    if (got < 0) break;
    if (got == 0) continue;
    if (rx == -1 || anyConverter) rx = from;
    if (byte == replyCode) {
      started = true;
      frame[0] = byte;
      break;
    }
    // Somebody else's traffic: the engine loop will find it in the receive buffer.
    AppendForeignByte(byte, from);
  } while (open());
  if (!started) return kBusNoReply;
  startConverter = rx;

  int got = 1;
  const int restFrom = anyConverter ? rx : converter;
  do {
    int from = restFrom;
    const int n = port_->Read(frame.data() + got, kFrameSize - got, from);
    if (n < 0) break;
    got += n;
  } while (got < kFrameSize && open());
  if (got < kFrameSize || !FrameCrcMatches(frame.data())) return kBusTransferError;

  std::copy_n(frame.begin(), 6, reply.begin());
  if (OnFrameReceived) OnFrameReceived(reply);
  return kBusOk;
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
