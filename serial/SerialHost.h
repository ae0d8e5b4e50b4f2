#pragma once
// What the serial link needs of the window it serves, without knowing it: taking the dialog's
// controls into its record (so that a port just picked counts), the chosen port name, the log,
// and a message box. The main dialog implements it; tests may implement their own.

#include <string>

class SerialHost {
 public:
  virtual ~SerialHost() = default;
  virtual void TakeControls() = 0;
  virtual std::u16string PortName() = 0;  // "COM1" to "COM3"
  virtual void LogLine(const std::u16string& text) = 0;
  // A message box owned by the window: MB_ flags; answers ID*. An empty caption is the
  // application's name.
  virtual int ShowMessage(const std::u16string& text, const std::u16string& caption,
                          unsigned type) = 0;
};
