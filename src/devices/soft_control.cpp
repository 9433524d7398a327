#include "devices/soft_control.h"

#include "bus/bus_frame.h"
#include "devices/device_codes.h"

namespace fd::devices {

TSoftControl::TSoftControl(bus::TPort& port, platform::Platform& platform, int peerNumber)
    : TExtDevice(port, platform, bus::kPeerAddress) {
  PeerNumber = peerNumber;
  Kind = kKindSoft;
}

int TSoftControl::GetVersion() {
  // The engine's directed query widens the reply window to 300 ms for itself.
  int version = 0;
  int instance = 0;
  LastResult = port_.QueryPeer(PeerNumber, Converter, version, instance);
  if (LastResult != bus::kBusOk) return 0;
  PeerNumber = instance;
  return version;
}

void TSoftControl::Poll() { LastResult = 0; }

std::string SoftwareKindText(int kind) {
  switch (kind) {
    case 2:
      return "Стандартное ПО управления";
    case 3:
      return "Расширенное ПО управления";
    case 4:
      return "ПО тестирования и отладки";
    case 5:
      return "Резервное ПО управления";
    default:
      return "Неизвестное ПО";
  }
}

}  // namespace fd::devices
