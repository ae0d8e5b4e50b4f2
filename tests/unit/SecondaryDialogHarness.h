#pragma once
// The main dialog connected to the radio stand-in on the virtual clock, for the tests of the
// service dialog, the About box and help. The internal radio on COM3 answers at once, so a
// connection needs no waiting dialog and the only modal runs are the ones a test opens.
// ShellOpen requests are recorded with the window that owns them.

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/CConfigApp.h"
#include "platform/dialog/headless/HeadlessScope.h"
#include "platform/system/CodePage.h"
#include "platform/system/ModulePath.h"
#include "resources/resource.h"
#include "serial/CSerialPort.h"
#include "sim/RadioPresets.h"
#include "sim/SimulatedPorts.h"
#include "ui/CConfigDlg.h"

namespace testing_support {

// The headless backend with the owner of each shell request noted.
class ShellRecorder final : public platform::DialogBackend {
 public:
  explicit ShellRecorder(platform::HeadlessBackend& ui) : ui_(ui) {}
  std::unique_ptr<platform::DialogWindow> CreateDialogWindow(
      const platform::DialogTemplate& tpl, platform::CDialog& owner,
      platform::DialogWindow* parent) override {
    return ui_.CreateDialogWindow(tpl, owner, parent);
  }
  int MessageBox(platform::DialogWindow* owner, const std::u16string& text,
                 const std::u16string& caption, unsigned type) override {
    return ui_.MessageBox(owner, text, caption, type);
  }
  void MessageBeep(unsigned type) override { ui_.MessageBeep(type); }
  void BeginWaitCursor() override { ui_.BeginWaitCursor(); }
  void EndWaitCursor() override { ui_.EndWaitCursor(); }
  bool PumpOneMessage() override { return ui_.PumpOneMessage(); }
  bool ShellOpen(platform::DialogWindow* owner, const std::string& path) override {
    owners.push_back(owner);
    return ui_.ShellOpen(owner, path);
  }
  std::vector<platform::DialogWindow*> owners;

 private:
  platform::HeadlessBackend& ui_;
};

class SecondaryDialogHarness : public ::testing::Test {
 protected:
  static constexpr int D = IDD_QELMCONFIG_DIALOG;

  SecondaryDialogHarness() {
    platform::SetSerialProvider(&ports);
    platform::SetBackend(&shell);
  }
  ~SecondaryDialogHarness() override {
    dlg.reset();
    platform::SetBackend(&scope.ui);
    platform::SetSerialProvider(nullptr);
  }

  // An internal radio of a preset on COM3 with some registers set as it stores them.
  sim::RadioModem& InternalRadio(const std::string& preset,
                                 std::map<std::string, uint32_t> registers = {},
                                 const std::string& firmware = "5.4") {
    sim::RadioConfig c;
    EXPECT_TRUE(sim::ApplyPreset(preset, &c));
    c.firmware = firmware;
    c.internal = true;
    for (auto& [name, value] : registers) c.registers[name] = value;
    return ports.Attach(u"COM3:", c);
  }
  void Open(bool service) {
    dlg = std::make_unique<CConfigDlg>();
    dlg->m_settings.serviceMode = service;
    ASSERT_TRUE(dlg->Create());
  }
  // Opens the dialog and connects to the radio on COM3 at the radio's own rate.
  void OpenConnected(bool service, const std::u16string& rate) {
    Open(service);
    ASSERT_TRUE(ui.SelectText(D, IDC_PORT, u"COM3"));
    ASSERT_TRUE(ui.SelectText(D, IDC_BAUDRATE, rate));
    ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
    ASSERT_TRUE(dlg->m_settings.connected);
  }
  std::vector<std::string> LogLines() { return UnstampedLines(ReadFile(folder.LogPath())); }

  TempFolder folder;
  platform::HeadlessScope scope;
  platform::HeadlessBackend& ui = scope.ui;
  ShellRecorder shell{scope.ui};
  sim::SimulatedPorts ports{scope.clock};
  CConfigApp app;
  std::unique_ptr<CConfigDlg> dlg;
};

}  // namespace testing_support
