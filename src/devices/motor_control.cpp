#include "devices/motor_control.h"

#include "bus/tport_codec.h"
#include "devices/cue_record.h"
#include "support/numbers.h"
#include "support/run_log.h"

namespace fd::devices {

namespace {
bool IsByte(int v) { return v >= 0 && v <= 255; }
}  // namespace

TMotorControl::TMotorControl(bus::TPort& port, platform::Platform& platform, int id)
    : TAutoControl(port, platform, id) {
  Kind = kKindMotor;
}

void TMotorControl::Poll() {
  TCommonControl::Poll();
  Voltage = AuxVoltage;
}

int TMotorControl::Motor(int cueKind, int p1, int p2) {
  if (!IsMotionCue(cueKind) || !IsByte(p1) || !IsByte(p2)) return kOutOfRange;
  const int result = port_.MotorCommand(ID, cueKind, p1, p2, RepeatMode, Converter);
  // A turn goes out once (the bus engine does not repeat it): without its answer nobody knows
  // whether the launcher moved, and the operator has to hear that before the next shells go.
  if (result != bus::kBusOk && bus::codec::MotorKindIsRelative(cueKind))
    support::WriteLog("Движение пульта " + support::NumberText(ID) + " не подтверждено: повтор не выполнен", 1);
  return result;
}

int TMotorControl::MotorC(int p1) { return Motor(MotionC, p1, 0); }
int TMotorControl::MotorL(int p1) { return Motor(MotionL, p1, 0); }
int TMotorControl::MotorR(int p1) { return Motor(MotionR, p1, 0); }
int TMotorControl::MotorLT(int p1, int p2) { return Motor(MotionLT, p1, p2); }
int TMotorControl::MotorRT(int p1, int p2) { return Motor(MotionRT, p1, p2); }

}  // namespace fd::devices
