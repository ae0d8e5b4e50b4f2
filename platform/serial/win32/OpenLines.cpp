#include "platform/serial/OpenLines.h"

#include "platform/serial/win32/Win32Serial.h"

namespace platform {

// On Windows the open ports keep their own list (Win32Serial.h).
void RestoreOpenLines() {
  Win32Serial::RestoreAll();
}

}  // namespace platform
