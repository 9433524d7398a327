#pragma once

#include <cstdint>
#include <functional>

namespace fd::bus {

// What the bus engine sees of the converters: every read and write names a converter index, or -1
// for any (reading) or every (sending) converter.
class TCommonPort {
 public:
  virtual ~TCommonPort() = default;

  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool Reopen() = 0;
  virtual int ConverterCount() = 0;
  // Bytes waiting in all converters, or -1 when a converter's status cannot be read.
  virtual int BytesAvailable() = 0;
  virtual int Read(uint8_t* buffer, int count, int converter) = 0;
  virtual int ReadAny(uint8_t* buffer, int count, int& converter) = 0;
  // Caps how long each following read may wait for its bytes, in ms; 0 gives the port its own
  // read time-out back. A port whose reads do not wait may ignore it.
  virtual void LimitReadWait(uint32_t ms) { (void)ms; }
  // count when sent and echoed, -2 on a failed transmission or echo, -1 when not open.
  virtual int Send(const uint8_t* data, int count, int converter) = 0;

  // Bytes that were waiting unread in a converter when a transmission was about to purge its
  // receive buffer, and the converter they came from. A port that purges before sending hands
  // them here first; the engine puts them where its own reads would have.
  std::function<void(const uint8_t* bytes, int count, int converter)> OnUnreadBeforeSend;

  bool Opened = false;
};

}  // namespace fd::bus
