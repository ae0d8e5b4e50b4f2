#pragma once
// The main dialog on the headless backend with radio stand-ins joined to the virtual clock:
// opening it on a port and rate as a user would have chosen them, connecting, and reading back
// the log and what the radio heard.
#include "TestSupport.h"
#include "app/CConfigApp.h"
#include "platform/dialog/headless/HeadlessScope.h"
#include "resources/resource.h"
#include "serial/CSerialPort.h"
#include "serial/RadioExchange.h"
#include "sim/RadioPresets.h"
#include "sim/SimulatedPorts.h"
#include "ui/CConfigDlg.h"

namespace testing_support {

using Texts = std::vector<std::string>;

inline constexpr int D = IDD_QELMCONFIG_DIALOG;
inline constexpr int W = IDD_WAITRADIO;

inline sim::RadioConfig Radio(const std::string& preset, uint32_t baud = 115200,
                              bool internal = false) {
  sim::RadioConfig c;
  EXPECT_TRUE(sim::ApplyPreset(preset, &c));
  c.baud = baud;
  c.internal = internal;
  if (!internal) c.reconnectAfterOpenMs = 400;  // the user replugs the cable
  return c;
}

class RadioDialogTest : public ::testing::Test {
 protected:
  RadioDialogTest() { platform::SetSerialProvider(&ports); }
  ~RadioDialogTest() override { platform::SetSerialProvider(nullptr); }

  // Opens the main dialog on a port and rate, as a user would have chosen them.
  void Open(const std::u16string& port, const std::u16string& rate, bool service = false) {
    dlg = std::make_unique<CConfigDlg>();
    dlg->m_settings.serviceMode = service;
    ASSERT_TRUE(dlg->Create());
    ASSERT_TRUE(ui.SelectText(D, IDC_PORT, port));
    ASSERT_TRUE(ui.SelectText(D, IDC_BAUDRATE, rate));
  }
  void Connect() { ASSERT_TRUE(ui.Click(D, IDC_CONNECT)); }
  // Connects to a radio put on the port, then forgets what the radio heard, the boxes and the
  // beeps so far, so that a test looks only at what follows. replugOnce: the external radio's
  // cable is replugged for this connect alone, not after every later open of the port.
  sim::RadioModem& ConnectTo(const std::u16string& port, sim::RadioConfig config,
                             const std::u16string& rate, bool service = false,
                             bool replugOnce = false) {
    const bool replug = replugOnce && !config.internal;
    if (replug) config.reconnectAfterOpenMs = -1;
    sim::RadioModem& radio = ports.Attach(port + u":", config);
    Open(port, rate, service);
    if (replug) ports.ScheduleReconnect(port + u":", 400000);
    Connect();
    EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
    radio.ClearLog();
    ui.boxes.clear();
    ui.beeps.clear();
    return radio;
  }
  Texts LogLines() { return UnstampedLines(ReadFile(folder.LogPath())); }
  // The log lines from the last press of a button on.
  Texts LogSince(const std::string& first) {
    Texts all = LogLines();
    for (size_t i = all.size(); i-- > 0;)
      if (all[i] == first) return Texts(all.begin() + i, all.end());
    return {};
  }
  Texts Queries(sim::RadioModem& r) {
    Texts out;
    for (const auto& c : r.Commands())
      if (!c.empty() && c.back() == '?') out.push_back(c);
    return out;
  }

  TempFolder folder;
  platform::HeadlessScope scope;
  platform::HeadlessBackend& ui = scope.ui;
  sim::SimulatedPorts ports{scope.clock};
  CConfigApp app;
  std::unique_ptr<CConfigDlg> dlg;
};

}  // namespace testing_support
