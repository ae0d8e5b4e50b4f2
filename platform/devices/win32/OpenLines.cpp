#include "platform/devices/OpenLines.h"

#include "platform/devices/win32/Win32Serial.h"

namespace platform {

// On Windows the open ports keep their own list (Win32Serial.h).
void RestoreOpenLines() {
  Win32Serial::RestoreAll();
}

}  // namespace platform
