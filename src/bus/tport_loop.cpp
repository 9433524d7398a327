// The bus engine's own thread: background reading, recovery of a lost converter, cutting
// unsolicited frames out of the byte stream and handing them to the user-interface thread.
#include <algorithm>

#include "bus/tport.h"
#include "bus/tport_scanner.h"

namespace fd::bus {

namespace {

constexpr uint32_t kPassSleepMs = 3;
constexpr uint32_t kReopenIntervalMs = 100;

}  // namespace

void TPort::ExecutePass() {
  const int available = BackgroundRead();
  if (available < 0)
    RecoverConnection();
  else
    RetryUndelivered();
  clock_.Sleep(kPassSleepMs);

  int count = 0;
  {
    std::lock_guard lock(rxLock_);
    if (rxCount_ < kFrameSize) return;
    count = CutMessages();
  }
  // No lock is held during the hand-over: the handlers run exchanges of their own.
  if (count > 0) HandOver([this, count] { DispatchMessages(count); });
  clock_.Sleep(kPassSleepMs);
}

int TPort::BackgroundRead() {
  // An exchange in progress reads the bus itself and puts whatever is not its reply into the
  // receive buffer, and so does the purge in front of each transmission: the engine need not wait
  // for the port then. It goes on to cut frames out of what is there, so a stop broadcast heard in
  // the middle of a burst is known at once instead of after the burst.
  std::unique_lock lock(portLock_, std::try_to_lock);
  if (!lock.owns_lock()) return 0;
  if (!port_->Opened) return -1;
  // Checked under PortLock, so that a caller that has just switched polling off (Identify) can be
  // sure no background read takes its bytes once its own exchange holds the port.
  if (!Polling) return 0;
  const int available = port_->BytesAvailable();
  if (available < 0) return -1;
  if (available == 0) return 0;

  std::lock_guard rxLock(rxLock_);
  // Never more than the free space: what does not fit waits in the converter for the next pass.
  const int room = kRxBufferSize - rxCount_;
  const int wanted = std::min(available, room);
  if (wanted > 0) {
    int from = -1;
    const int got = port_->ReadAny(rxBuffer_.get() + rxCount_, wanted, from);
    if (got > 0) {
      std::fill_n(rxConverter_.get() + rxCount_, got, from);
      rxCount_ += got;
    }
  }
  return available;
}

void TPort::RecoverConnection() {
  HandOver([this] {
    if (OnConnectionLost) OnConnectionLost();
  });
  bool reopened = false;
  std::vector<Frame6> stopsSent;
  while (!terminated_) {
    clock_.Sleep(kReopenIntervalMs);
    if (terminated_) break;
    // Under PortLock: no exchange may use converter handles while they are being replaced.
    std::lock_guard lock(portLock_);
    // A converter that is listed but cannot be opened (held by another program) reopens "open"
    // and fails its very next status read. Counting that as restored would make the operator's
    // warning come and go every 100 ms; the link is back only when the status can be read.
    if (port_->Reopen() && port_->BytesAvailable() >= 0) {
      reopened = true;
      // Still under PortLock: no exchange of anybody's comes between the reopen and these.
      SendUndelivered(&stopsSent);
      break;
    }
  }
  if (reopened)
    HandOver([this, &stopsSent] {
      AnnounceSentStops(stopsSent);
      if (OnConnectionRestored) OnConnectionRestored();
    });
}

void TPort::RetryUndelivered() {
  if (undeliveredCount_.load() == 0) return;
  const uint32_t now = clock_.TickCount();
  if (platform::TicksSince(undeliveredTriedAt_, now) < kReopenIntervalMs) return;
  undeliveredTriedAt_ = now;
  std::vector<Frame6> sent;
  {
    std::unique_lock lock(portLock_, std::try_to_lock);
    // Not in the middle of somebody's exchange, nor while polling is off for one (Identify).
    if (!lock.owns_lock() || !Polling) return;
    SendUndelivered(&sent);
  }
  if (!sent.empty()) HandOver([this, &sent] { AnnounceSentStops(sent); });
}

void TPort::AnnounceSentStops(const std::vector<Frame6>& frames) {
  for (const Frame6& frame : frames) {
    if (OnFrameSent) OnFrameSent(frame);
    if (OnFrameTaken) OnFrameTaken(frame);
  }
}

int TPort::CutMessages() {
  messageCount_ = CutFrames(rxBuffer_.get(), rxConverter_.get(), rxCount_, messages_.data(), messageConverters_.data(),
                            kMaxMessages);
  for (int i = 0; i < messageCount_; ++i)
    if (IsStopBroadcast(messages_[static_cast<size_t>(i)])) ++stopBroadcasts_;
  return messageCount_;
}

void TPort::DispatchMessages(int count) {
  // The engine thread waits until this returns, so the batch cannot change underneath.
  for (int i = 0; i < count; ++i) {
    if (OnFrameReceived) OnFrameReceived(messages_[i]);
    if (OnMessage) OnMessage(messages_[i], messageConverters_[i]);
  }
  std::lock_guard lock(rxLock_);
  messageCount_ = 0;
}

void TPort::HandOver(const std::function<void()>& fn) {
  inHandOver_ = true;
  platform_.RunOnUiThread(fn);
  inHandOver_ = false;
}

void TPort::ThreadMain() {
  while (!terminated_) ExecutePass();
  threadFinished_ = true;
}

void TPort::Terminate() {
  terminated_ = true;
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // Asked on the engine thread itself (a platform that runs hand-overs in place): it cannot wait
    // for itself; the loop ends when this pass returns.
    thread_.detach();
    return;
  }
  // The engine thread may be waiting in a hand-over for this very thread; serve it so that the
  // thread can see the request and end.
  while (!threadFinished_) {
    if (inHandOver_) {
      platform_.ProcessPendingEvents();
    } else {
      clock_.Sleep(1);
    }
  }
  thread_.join();
}

}  // namespace fd::bus
