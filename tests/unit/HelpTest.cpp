// Help: the path of the help file beside the program, and the Help button and the help
// request (F1) of the main dialog, which open it without a word in the log or on the screen.
#include "SecondaryDialogHarness.h"

using namespace testing_support;

namespace {

TEST(HelpFilePath, IsTheProgramsFolderAndTheFileName) {
  EXPECT_EQ(CConfigDlg::HelpFilePath(u"/usr/bin/qelm-config"), u"/usr/bin/QELM_Help.htm");
  EXPECT_EQ(CConfigDlg::HelpFilePath(u"/opt/QELM Config/bin/qelm-config"),
            u"/opt/QELM Config/bin/QELM_Help.htm");
  EXPECT_EQ(CConfigDlg::HelpFilePath(u"/qelm-config"), u"/QELM_Help.htm");
  // Without a folder (the program's path could not be read) there is nothing to open.
  EXPECT_EQ(CConfigDlg::HelpFilePath(u"qelm-config"), u"");
  EXPECT_EQ(CConfigDlg::HelpFilePath(u""), u"");
}

class HelpTest : public SecondaryDialogHarness {};

TEST_F(HelpTest, HelpButtonOpensTheFileBesideTheProgramOwnedByTheMainDialog) {
  Open(false);
  const auto logBefore = LogLines();
  ASSERT_TRUE(ui.Click(D, IDC_HELPBUTTON));
  ASSERT_EQ(ui.shellOpens.size(), 1u);
  EXPECT_EQ(ui.shellOpens[0],
            testing_support::HelpFileBesideProgram(platform::WideToUtf8(platform::ModuleFolder())));
  EXPECT_EQ(shell.owners, (std::vector<platform::DialogWindow*>{dlg->Window()}));
  // The help file is not beside this test program: nothing is shown or logged all the same.
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(LogLines(), logBefore);
  EXPECT_TRUE(ui.modalRuns.empty());
}

TEST_F(HelpTest, HelpRequestInTheMainDialogLeavesItOpenAndConnected) {
  InternalRadio("vireo-us");
  OpenConnected(true, u"115200");
  ASSERT_TRUE(ui.Help(D));
  ASSERT_TRUE(ui.Help(D));
  EXPECT_EQ(ui.shellOpens.size(), 2u);
  EXPECT_FALSE(dlg->HasEnded());
  EXPECT_TRUE(dlg->m_settings.connected);
  EXPECT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
