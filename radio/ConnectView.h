#pragma once
// What the connect procedure needs of its front end beyond what the settings sequences need:
// filling and clearing the shown settings, showing that a radio is connected, and the wait for
// an external radio whose cable the user reconnects. The main dialog implements it with its
// waiting dialog; the command-line program with a message on standard error and a time bound.
// The procedure's rules (attempts, rate walk, failed openings) stay in ConnectRadio, once.

#include <string>

#include "radio/SettingsView.h"

namespace radio {

class ConnectView : public SettingsView {
 public:
  // Fills the device list for the record's model and enables the settings.
  virtual void FillDeviceList() = 0;
  // Clears the shown settings (the firmware label back to "Not Connected").
  virtual void ClearRadioSettings() = 0;
  // The connection is made and its settings read ("Disco&nnect").
  virtual void ShowConnected() = 0;
  // The port is open at rateText: asks the user to reconnect the radio's cable and waits until
  // the radio seems to have started (see WatchForRadioStart). False when the user gave up.
  virtual bool AwaitExternalRadio(const std::u16string& rateText) = 0;
};

}  // namespace radio
