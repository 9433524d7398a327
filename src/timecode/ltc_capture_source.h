#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "timecode/ltc_source.h"

namespace fd::timecode {

// The names of the capture devices the sound system offers now.
std::vector<std::string> CaptureDeviceNames();
// `no capture device "NAME"`, then the devices there are, or that there are none.
std::string NoCaptureDeviceText(const std::string& name, const std::vector<std::string>& present);

// Timecode from a sound card's input (SDL2 capture). The sound system's own capture thread decodes
// each buffer as it arrives; the heard times are tied to the show's clock at the first buffer and
// kept on it as the card's clock and the computer's drift apart.
class LtcCaptureSource : public TimecodeSource {
 public:
  // nullptr with the reason when the sound system cannot start or no device has the name given
  // (empty: the default device); the clock is needed.
  static std::unique_ptr<LtcCaptureSource> Open(const std::string& deviceName, const SourceOptions& options,
                                                std::string& error);
  ~LtcCaptureSource() override;

  bool Start() override;
  void Stop() override;

  LtcCaptureSource(std::string deviceName, const SourceOptions& options);

 private:
  struct Listening;
  static void Callback(void* user, uint8_t* stream, int length);
  void OnSamples(const float* samples, size_t frames);

  std::string deviceName_;
  SourceOptions options_;
  std::unique_ptr<Listening> listening_;
};

}  // namespace fd::timecode
