#pragma once
// What the fuzzers of the serial link share: a virtual clock, a line scripted byte by byte
// (tests/unit/FakePorts.h) open on COM1, and a window stand-in that keeps the log lines in
// memory. Set up once per process; each input then opens the port afresh.

#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "serial/CSerialPort.h"
#include "serial/SerialHost.h"
#include "tests/unit/FakePorts.h"

namespace fuzz {

class MemoryHost final : public SerialHost {
 public:
  void TakeControls() override {}
  std::u16string PortName() override { return u"COM1"; }
  void LogLine(const std::u16string& text) override { log.push_back(text); }
  int ShowMessage(const std::u16string&, const std::u16string&, unsigned) override { return 1; }
  std::vector<std::u16string> log;
};

struct FuzzLine {
  platform::VirtualClock clock;
  testing_support::FakePorts ports;
  MemoryHost host;

  FuzzLine() {
    platform::SetClock(&clock);
    CSerialPort::Attach(&host);
  }
  // Opens COM1 on a fresh line; false when it did not open.
  testing_support::FakeLine* Open() {
    CSerialPort::ClosePort();
    ports.lines.clear();
    host.log.clear();
    if (CSerialPort::OpenPort(u"115200", false) != RC_OK) return nullptr;
    return &ports.Line(u"COM1:");
  }
};

}  // namespace fuzz
