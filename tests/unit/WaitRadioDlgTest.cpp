// The waiting dialog's rules, on a line scripted byte by byte: one or two stray bytes are
// dropped once, three bytes (or any byte after the drop, or a line error) end the wait, and
// Cancel or Escape give up.
#include "FakePorts.h"
#include "TestSupport.h"
#include "app/CConfigApp.h"
#include "platform/dialog/headless/HeadlessScope.h"
#include "resources/resource.h"
#include "ui/CConfigDlg.h"

using namespace testing_support;
using Texts = std::vector<std::string>;

namespace {

constexpr int D = IDD_QELMCONFIG_DIALOG;
constexpr int W = IDD_WAITRADIO;
const std::string kBanner = "\r\nWr 2410, 5.4 modem:";
// The drop clears the output queue and reads away the bytes it counted.
constexpr uint32_t kDrop = platform::PURGE_TXCLEAR;

class WaitRadioDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dlg = std::make_unique<CConfigDlg>();
    ASSERT_TRUE(dlg->Create());
    // A radio that answers every query with 0 once it talks.
    line().AnswerLines([](const std::string& cmd) { return cmd + "\r\n00\r\n>"; });
  }
  FakeLine& line() { return ports.Line(u"COM1:"); }
  int Discards() {
    return static_cast<int>(std::count(line().purges.begin(), line().purges.end(), kDrop));
  }
  Texts LogLines() { return UnstampedLines(ReadFile(folder.LogPath())); }
  bool Logged(const std::string& text) {
    Texts l = LogLines();
    return std::find(l.begin(), l.end(), text) != l.end();
  }

  TempFolder folder;
  platform::HeadlessScope scope;
  platform::HeadlessBackend& ui = scope.ui;
  FakePorts ports;
  CConfigApp app;
  std::unique_ptr<CConfigDlg> dlg;
};

TEST_F(WaitRadioDlgTest, TwoStrayBytesAreDroppedOnceAndTheBannerEndsTheWait) {
  ui.Schedule(500, [&] { line().Arrive("ab"); });
  ui.Schedule(1200, [&] { line().Arrive(kBanner, 0, 100); });
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  EXPECT_EQ(Discards(), 1);
  EXPECT_EQ(ui.modalRuns.size(), 1u);
  EXPECT_TRUE(Logged("Banner: Wr 2410, 5.4 modem"));
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
}

TEST_F(WaitRadioDlgTest, TheDropTakesOnlyTheBytesItCountedAndTheBannerBehindThemStays) {
  // The banner's first two bytes are counted; the rest arrives before they are dropped (the
  // program was held up, or the banner ran straight into the noise). Only those two go.
  ui.Schedule(500, [&] {
    line().Arrive(kBanner.substr(0, 2));
    line().afterStatus = [](FakeLine& l) {
      if (l.ArrivedCount() != 2) return;
      l.afterStatus = nullptr;
      l.Arrive(kBanner.substr(2));
    };
  });
  ui.Schedule(3000, [&] {
    if (ui.Window(W)) ui.Click(W, IDC_WAIT_CANCEL);
  });
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  EXPECT_EQ(Discards(), 1);
  EXPECT_TRUE(Logged("Banner: Wr 2410, 5.4 modem"));
  EXPECT_EQ(ui.modalRuns.size(), 1u);
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
}

TEST_F(WaitRadioDlgTest, AnyByteAfterTheDropEndsTheWait) {
  ui.Schedule(500, [&] { line().Arrive("a"); });
  ui.Schedule(800, [&] { line().Arrive("b"); });
  ui.Schedule(3000, [&] { ui.Click(W, IDC_WAIT_CANCEL); });
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  EXPECT_EQ(Discards(), 1);
  // The wait ended at the second byte; no banner followed, so the next rate was tried.
  EXPECT_TRUE(Logged("Could't read banner, port closed."));
  EXPECT_EQ(ui.modalRuns.size(), 2u);
  EXPECT_EQ(LogLines().back(), "Tentative connection cancelled.");
}

TEST_F(WaitRadioDlgTest, ThreeBytesAtOnceEndTheWaitWithoutADrop) {
  ui.Schedule(500, [&] { line().Arrive("abc"); });
  ui.Schedule(3000, [&] { ui.Click(W, IDC_WAIT_CANCEL); });
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  EXPECT_EQ(Discards(), 0);
  EXPECT_TRUE(Logged("Could't read banner, port closed."));
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Co&nnect");
}

TEST_F(WaitRadioDlgTest, LineErrorEndsTheWaitAsIfTheRadioHadStarted) {
  ui.Schedule(500, [&] { line().lineErrors = platform::CE_FRAME; });
  ui.Schedule(3000, [&] { ui.Click(W, IDC_WAIT_CANCEL); });
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  EXPECT_EQ(ui.modalRuns.size(), 2u);
  EXPECT_TRUE(Logged("Could't read banner, port closed."));
}

TEST_F(WaitRadioDlgTest, EscapeGivesUpLikeCancel) {
  ui.Schedule(700, [&] { ui.Cancel(W); });
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));
  EXPECT_EQ(LogLines().back(), "Tentative connection cancelled.");
  EXPECT_EQ(ports.liveDevices, 0);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(WaitRadioDlgTest, EnterStartsTheConnectAndOnlyTheWaitOrCancelEndsTheDialog) {
  // The OK command and every command to the main window while the wait runs change nothing:
  // the same wait goes on until the banner comes.
  ui.Schedule(300, [&] {
    EXPECT_TRUE(ui.Ok(W));
    EXPECT_TRUE(ui.Click(D, IDC_CONNECT));
    EXPECT_TRUE(ui.Enter(D));
    EXPECT_TRUE(ui.Cancel(D));
  });
  ui.Schedule(900, [&] {
    EXPECT_NE(ui.Window(W), nullptr);
    line().Arrive(kBanner, 0, 100);
  });
  // At start the focus is on "Co&nnect": Enter presses it.
  ASSERT_TRUE(ui.Enter(D));
  EXPECT_EQ(ui.modalRuns, (std::vector<int>{W}));
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
  Texts l = LogLines();
  EXPECT_EQ(std::count(l.begin(), l.end(), "Button 'Connect' pressed."), 1);
  EXPECT_EQ(std::count(l.begin(), l.end(), "Port COM1 opened at 115200"), 1);
  EXPECT_EQ(std::count(l.begin(), l.end(), "Title bar button 'Ok' pressed."), 0);
  EXPECT_EQ(std::count(l.begin(), l.end(), "Title bar button 'X' pressed."), 0);
  // Enter on the waiting dialog's focused Cancel button is that button.
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));  // disconnect
  ui.Schedule(300, [&] { EXPECT_TRUE(ui.Enter(W)); });
  ASSERT_TRUE(ui.Enter(D));
  EXPECT_EQ(LogLines().back(), "Tentative connection cancelled.");
}

}  // namespace
