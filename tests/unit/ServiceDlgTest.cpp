// The service settings dialog against the radio stand-in: what it shows for the radio's band
// and transmit power, what OK and Cancel leave in the settings record, what that means for the
// unsaved-settings question, and the service button outside service mode.
#include "SecondaryDialogHarness.h"

using namespace testing_support;
using Items = std::vector<std::u16string>;

namespace {

constexpr int S = IDD_SERVICE;

class ServiceDlgTest : public SecondaryDialogHarness {
 protected:
  // Presses "S&ervice" and runs the user's steps inside the dialog once it is up.
  void Service(std::function<void()> inside) {
    ui.Schedule(0, std::move(inside));
    ASSERT_TRUE(ui.Click(D, IDC_SERVICE));
    EXPECT_FALSE(ui.stuck);
  }
  RadioSettings& Record() { return dlg->m_settings; }
};

TEST_F(ServiceDlgTest, Model2400WithBand6ShowsUsaAndOkGivesZero) {
  InternalRadio("2400", {{"pe", 6}, {"wp", 1}});
  OpenConnected(true, u"9600");
  ASSERT_EQ(Record().band, 6);
  Service([&] {
    EXPECT_EQ(ui.Text(S, 0), u"Service settings");
    EXPECT_EQ(ui.Items(S, IDC_BAND), (Items{u"Morva Worldwide", u"Morva USA"}));
    EXPECT_EQ(ui.Items(S, IDC_POWER), (Items{u"Low 10mW", u"High 100mW (def.)"}));
    EXPECT_EQ(ui.Text(S, IDC_BAND), u"Morva USA");
    EXPECT_EQ(ui.Text(S, IDC_POWER), u"High 100mW (def.)");
    ui.Ok(S);
  });
  EXPECT_EQ(Record().band, 0);
  EXPECT_EQ(Record().transmitPower, 1);
  EXPECT_EQ(ui.modalRuns, (std::vector<int>{S}));
  auto log = LogLines();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "Button 'Service' pressed.");
  EXPECT_EQ(log.back(), "Return from 'Service' dialog.");
}

TEST_F(ServiceDlgTest, Model2410KeepsWorldwideAndUsaGivesZero) {
  InternalRadio("vireo-swiss", {{"pe", 6}, {"wp", 0}});
  OpenConnected(true, u"115200");
  Service([&] {
    EXPECT_EQ(ui.Text(S, IDC_BAND), u"Morva Worldwide");
    EXPECT_EQ(ui.Text(S, IDC_POWER), u"Low 10mW");
    ui.Ok(S);
  });
  EXPECT_EQ(Record().band, 6);
  EXPECT_FALSE(dlg->HasUnsavedSettings());

  Service([&] {
    EXPECT_TRUE(ui.SelectText(S, IDC_BAND, u"Morva USA"));
    EXPECT_TRUE(ui.Click(S, platform::IDOK));
  });
  EXPECT_EQ(Record().band, 0);
  EXPECT_TRUE(dlg->HasUnsavedSettings());

  Service([&] {
    EXPECT_EQ(ui.Text(S, IDC_BAND), u"Morva USA");  // the record's value, not the radio's
    EXPECT_TRUE(ui.SelectText(S, IDC_BAND, u"Morva Worldwide"));
    ui.Ok(S);
  });
  EXPECT_EQ(Record().band, 6);
}

TEST_F(ServiceDlgTest, NextSaveStoresTheChosenBandAndPower) {
  // Not the handle profile, which stores a band of its own.
  auto& radio = InternalRadio("vireo-us", {{"pe", 6}, {"wp", 1}});
  OpenConnected(true, u"115200");
  ASSERT_EQ(ui.Text(D, IDC_DEVICE), u"Vireo B & Tanager");
  Service([&] {
    EXPECT_EQ(ui.Text(S, IDC_BAND), u"Morva Worldwide");
    EXPECT_TRUE(ui.SelectText(S, IDC_BAND, u"Morva USA"));
    EXPECT_TRUE(ui.SelectText(S, IDC_POWER, u"Low 10mW"));
    ui.Ok(S);
  });
  const size_t before = radio.Commands().size();
  ASSERT_TRUE(ui.Click(D, IDC_SAVE));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, u"Settings saved.");
  std::vector<std::string> sent(radio.Commands().begin() + before, radio.Commands().end());
  auto pe = std::find(sent.begin(), sent.end(), "pe0");
  ASSERT_NE(pe, sent.end());
  ASSERT_NE(pe + 1, sent.end());
  EXPECT_EQ(*(pe + 1), "wp0");
  EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](auto& c) { return c.starts_with("pe"); }),
            1);
}

TEST_F(ServiceDlgTest, OtherModelsUseZeroForBothBands) {
  InternalRadio("shrike", {{"pe", 6}});
  OpenConnected(true, u"115200");
  Record().modelNumber = 2420;  // as a banner with an unknown number leaves it
  Service([&] {
    EXPECT_EQ(ui.Text(S, IDC_BAND), u"Morva USA");
    EXPECT_TRUE(ui.SelectText(S, IDC_BAND, u"Morva Worldwide"));
    ui.Ok(S);
  });
  EXPECT_EQ(Record().band, 0);
}

TEST_F(ServiceDlgTest, CancelAfterChangingBothChangesNothing) {
  InternalRadio("vireo-us", {{"pe", 6}, {"wp", 1}});
  OpenConnected(true, u"115200");
  // The Cancel button, then Escape or the close button: the same command.
  for (bool button : {true, false}) {
    Service([&] {
      EXPECT_TRUE(ui.SelectText(S, IDC_BAND, u"Morva USA"));
      EXPECT_TRUE(ui.SelectText(S, IDC_POWER, u"Low 10mW"));
      if (button)
        EXPECT_TRUE(ui.Click(S, platform::IDCANCEL));
      else
        ui.Cancel(S);
    });
    EXPECT_EQ(Record().band, 6);
    EXPECT_EQ(Record().transmitPower, 1);
    EXPECT_FALSE(dlg->HasUnsavedSettings());
    EXPECT_EQ(LogLines().back(), "Return from 'Service' dialog.");
  }
  // Disconnect asks nothing.
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_FALSE(Record().connected);
}

TEST_F(ServiceDlgTest, ChangedPowerMakesDisconnectAskTheUnsavedQuestion) {
  InternalRadio("vireo-us", {{"wp", 1}});
  OpenConnected(true, u"115200");
  Service([&] {
    EXPECT_TRUE(ui.SelectText(S, IDC_POWER, u"Low 10mW"));
    ui.Ok(S);
  });
  EXPECT_EQ(Record().transmitPower, 0);
  EXPECT_EQ(Record().readPower, 1);
  ui.AnswerNext(platform::IDCANCEL);
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].caption, u"Unsaved Settings");
  EXPECT_EQ(ui.boxes[0].Buttons(), platform::MB_YESNOCANCEL);
  EXPECT_TRUE(Record().connected);  // Cancel keeps the connection
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
}

TEST_F(ServiceDlgTest, PowerOutsideTheListShowsNoEntryAndOkKeepsIt) {
  InternalRadio("vireo-us", {{"wp", 5}});
  OpenConnected(true, u"115200");
  ASSERT_EQ(Record().transmitPower, 5);
  Service([&] {
    EXPECT_EQ(ui.Selection(S, IDC_POWER), platform::CB_ERR);
    EXPECT_EQ(ui.Text(S, IDC_POWER), u"");
    ui.Ok(S);
  });
  EXPECT_EQ(Record().transmitPower, 5);
  EXPECT_FALSE(dlg->HasUnsavedSettings());

  Service([&] {
    EXPECT_TRUE(ui.SelectText(S, IDC_POWER, u"High 100mW (def.)"));
    ui.Ok(S);
  });
  EXPECT_EQ(Record().transmitPower, 1);
  EXPECT_TRUE(dlg->HasUnsavedSettings());
}

TEST_F(ServiceDlgTest, ButtonIsUsableOnlyWhileConnectedInServiceMode) {
  InternalRadio("vireo-us");
  Open(true);
  EXPECT_TRUE(ui.Visible(D, IDC_SERVICE));
  EXPECT_FALSE(ui.Enabled(D, IDC_SERVICE));
  EXPECT_FALSE(ui.Click(D, IDC_SERVICE));
  ASSERT_TRUE(ui.SelectText(D, IDC_PORT, u"COM3"));
  // Every way a connection ends disables it again: Disconnect, Save and the maker defaults.
  const std::vector<std::function<void()>> ends = {
      [&] { ASSERT_TRUE(ui.Click(D, IDC_CONNECT)); },
      [&] { ASSERT_TRUE(ui.Click(D, IDC_SAVE)); },
      [&] {
        ui.AnswerNext(platform::IDYES);
        ASSERT_TRUE(ui.Click(D, IDC_DEFAULT));
      },
  };
  for (size_t i = 0; i < ends.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
    ASSERT_TRUE(dlg->m_settings.connected);
    EXPECT_TRUE(ui.Enabled(D, IDC_SERVICE));
    ends[i]();
    EXPECT_FALSE(dlg->m_settings.connected);
    EXPECT_TRUE(ui.Visible(D, IDC_SERVICE));
    EXPECT_FALSE(ui.Enabled(D, IDC_SERVICE));
    EXPECT_FALSE(ui.Click(D, IDC_SERVICE));
  }
  // The Save and the reset went through.
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, u"Settings saved.");
  EXPECT_EQ(ui.boxes[1].text,
            u"Reset the radio modem to Morva defaults and lose all current settings?");
  EXPECT_TRUE(ui.beeps.size() >= 2u);
}

TEST_F(ServiceDlgTest, WithoutServiceModeNoButtonNoDialogNoPowerQuery) {
  auto& radio = InternalRadio("vireo-us");
  OpenConnected(false, u"115200");
  EXPECT_FALSE(ui.Visible(D, IDC_SERVICE));
  EXPECT_FALSE(ui.Click(D, IDC_SERVICE));
  EXPECT_TRUE(ui.modalRuns.empty());
  const auto& sent = radio.Commands();
  EXPECT_EQ(std::find(sent.begin(), sent.end(), "wp?"), sent.end());
  for (const auto& line : LogLines()) EXPECT_EQ(line.find("Service"), std::string::npos) << line;
}

TEST_F(ServiceDlgTest, HelpRequestOpensTheHelpFileAndLeavesTheDialogOpen) {
  InternalRadio("vireo-us");
  OpenConnected(true, u"115200");
  Service([&] {
    ASSERT_TRUE(ui.Help(S));
    EXPECT_NE(ui.Window(S), nullptr);
    EXPECT_FALSE(ui.Window(S)->Owner().HasEnded());
    ui.Ok(S);
  });
  ASSERT_EQ(ui.shellOpens.size(), 1u);
  EXPECT_EQ(ui.shellOpens[0],
            testing_support::HelpFileBesideProgram(platform::WideToUtf8(platform::ModuleFolder())));
  EXPECT_EQ(shell.owners, (std::vector<platform::DialogWindow*>{dlg->Window()}));
}

}  // namespace
