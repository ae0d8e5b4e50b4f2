#pragma once
// A window for the serial link to serve in tests: it records log lines and message boxes and
// counts how often its controls were taken.

#include <string>
#include <vector>

#include "platform/system/CodePage.h"
#include "serial/CSerialPort.h"
#include "serial/SerialHost.h"

namespace testing_support {

struct SerialTestHost : SerialHost {
  std::u16string port = u"COM1";
  std::vector<std::string> log;
  struct Box {
    std::u16string text, caption;
    unsigned type;
  };
  std::vector<Box> boxes;
  int takes = 0;

  SerialTestHost() { CSerialPort::Attach(this); }
  ~SerialTestHost() override {
    CSerialPort::ClosePort();
    CSerialPort::Attach(nullptr);
  }
  void TakeControls() override { ++takes; }
  std::u16string PortName() override { return port; }
  void LogLine(const std::u16string& text) override {
    log.push_back(platform::WideToSingleByte(text));
  }
  int ShowMessage(const std::u16string& text, const std::u16string& caption,
                  unsigned type) override {
    boxes.push_back({text, caption, type});
    return 1;
  }
};

}  // namespace testing_support
