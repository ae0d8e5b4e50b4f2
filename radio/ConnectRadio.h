#pragma once
// Finding the radio on the chosen port and reading its settings. On "COM3" the controller's
// internal radio is tried by the program itself, 35 times; on any other port (or device path)
// an external radio is waited for after each opening, until its banner is read or the user
// gives up. When no banner comes, the next serial rate of the list is tried (wrapping after
// 115200 to 4800). The fifth failed opening of the port ends the procedure.
//
// Never throws. Every failure is logged in fixed words and, where the user must know, shown
// through the view's message box; the result says how the procedure ended. On any result
// but kConnected the record is not connected; the port is closed except after a wait the user
// gave up, where no one holds it any more either (it is closed there too).

#include "radio/ConnectView.h"
#include "radio/SettingsView.h"

namespace radio {

enum class ConnectResult {
  kConnected,       // banner and settings read; the port stays open at portBaudText
  kGaveUp,          // the user gave up waiting for the external radio
  kNoRadio,         // 35 attempts on the internal radio without a banner
  kPortFailed,      // the port could not be opened, five times
  kSettingsUnread,  // a banner came, but the settings could not be read
};

// The whole connect procedure after the user asked for it: takes the controls, walks the
// attempts, then fills the device list and reads the settings.
ConnectResult ConnectRadio(ConnectView& view);

// Selects the Baudrate entry after the selected one (the first after the last) and makes it
// the rate both chosen and tried.
void NextBaudrate(SettingsView& view);

}  // namespace radio
