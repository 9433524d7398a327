#pragma once

#include "devices/common_control.h"

namespace fd::devices {

// The motor console: takes the motion cues of the scenario. Its supply voltage is the first
// status value.
class TMotorControl : public TAutoControl {
 public:
  TMotorControl(bus::TPort& port, platform::Platform& platform, int id);

  void Poll() override;
  const char* ClassName() const override { return "TMotorControl"; }

  // One answered motion command each; the result is returned, not kept. Parameters are bytes on
  // the wire: a value outside 0..255 is refused with kOutOfRange and nothing is sent. A turn (L,
  // R, LT, RT) is sent once and never repeated; when its answer does not come the run log says
  // the motion is unconfirmed. The centre (C) is repeated like any other command.
  int MotorC(int p1);
  int MotorL(int p1);
  int MotorR(int p1);
  int MotorLT(int p1, int p2);
  int MotorRT(int p1, int p2);
  // The same by cue kind (50..54); any other kind is refused with kOutOfRange.
  int Motor(int cueKind, int p1, int p2);
};

}  // namespace fd::devices
