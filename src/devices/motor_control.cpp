#include "devices/motor_control.h"

#include "devices/cue_record.h"

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
  return port_.MotorCommand(ID, cueKind, p1, p2, RepeatMode, Converter);
}

int TMotorControl::MotorC(int p1) { return Motor(MotionC, p1, 0); }
int TMotorControl::MotorL(int p1) { return Motor(MotionL, p1, 0); }
int TMotorControl::MotorR(int p1) { return Motor(MotionR, p1, 0); }
int TMotorControl::MotorLT(int p1, int p2) { return Motor(MotionLT, p1, p2); }
int TMotorControl::MotorRT(int p1, int p2) { return Motor(MotionRT, p1, p2); }

}  // namespace fd::devices
