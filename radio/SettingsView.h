#pragma once
// What the radio sequences (reading, storing, the maker defaults reset) need of the window
// that shows the settings, without knowing it: the settings record, the exchange between the
// record and the controls, selecting and enabling the few controls the sequences touch, the
// beep, the wait cursor, ending the connection, and, through SerialHost, the log and message
// boxes. The main
// dialog implements it; tests may implement their own.

#include "radio/RadioSettings.h"
#include "serial/SerialHost.h"

namespace radio {

class SettingsView : public SerialHost {
 public:
  virtual RadioSettings& Settings() = 0;
  virtual void ShowRecord() = 0;
  virtual int BaudSelection() = 0;    // -1 when none
  virtual int ModeSelection() = 0;    // -1 when none
  virtual int DeviceSelection() = 0;  // -1 when none
  virtual void SelectBaud(int index) = 0;
  virtual void SelectMode(int index) = 0;
  virtual void SelectDevice(int index) = 0;
  virtual void SelectLink(int index) = 0;
  virtual void EnableBaud(bool enable) = 0;
  virtual void EnableMode(bool enable) = 0;
  virtual void Beep() = 0;  // the platform's default message beep
  virtual void BeginWait() = 0;
  virtual void EndWait() = 0;
  // Ends the connection: the shown settings cleared, the port closed, "Co&nnect" again.
  virtual void Disconnect() = 0;
};

// Shows the wait cursor of a view for the life of a scope, so every exit restores it.
class WaitCursor {
 public:
  explicit WaitCursor(SettingsView& v) : view_(v) { view_.BeginWait(); }
  ~WaitCursor() { view_.EndWait(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  SettingsView& view_;
};

}  // namespace radio
