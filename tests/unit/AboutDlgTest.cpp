// The About box and its version text: what it shows before, during and after a connection,
// the version read from a program's own file (this test program and the built qelm-config
// carry the build's version resource), and the rules of the version text on files made here.
#include <regex>

#include "ElfFile.h"
#include "SecondaryDialogHarness.h"
#include "platform/system/VersionResource.h"
#include "serial/RadioExchange.h"
#include "ui/BuildText.h"

using namespace testing_support;

namespace {

constexpr int A = IDD_ABOUTBOX;

std::string Utf8(const std::u16string& s) {
  return platform::WideToUtf8(s);
}

class AboutDlgTest : public SecondaryDialogHarness {
 protected:
  ~AboutDlgTest() override { firmwareLabel = kFirmwareNotConnected; }
  // Presses "&About", notes what the box shows and closes it with its Ok button.
  std::map<int, std::u16string> About() {
    std::map<int, std::u16string> shown;
    ui.Schedule(0, [&] {
      for (int id : {0, IDC_VERSION, IDC_BUILDDATE, IDC_FIRMWARE}) shown[id] = ui.Text(A, id);
      EXPECT_TRUE(ui.Click(A, platform::IDOK));
    });
    EXPECT_TRUE(ui.Click(D, IDC_ABOUT));
    EXPECT_FALSE(ui.stuck);
    return shown;
  }
};

TEST_F(AboutDlgTest, ShowsVersionBuildDateAndNotConnectedBeforeAnyConnection) {
  Open(false);
  auto shown = About();
  EXPECT_EQ(shown[0], u"About TUVAR Config tool");
  EXPECT_EQ(shown[IDC_FIRMWARE], u"Radio Firmware: Not Connected");
  EXPECT_EQ(shown[IDC_BUILDDATE], buildText);
  // This program carries the build's resource: FileVersion "1, 0, 0, 0".
  EXPECT_TRUE(
      std::regex_match(Utf8(shown[IDC_VERSION]), std::regex(R"(Version: 1, 0  \(Build [0-9]+\))")))
      << Utf8(shown[IDC_VERSION]);
  EXPECT_EQ(ui.modalRuns, (std::vector<int>{A}));
  // One line on the way in, none on the way out.
  EXPECT_EQ(LogLines().back(), "Button 'About' pressed.");
}

TEST_F(AboutDlgTest, ShowsTheConnectedRadiosFirmwareAndForgetsItAfterDisconnect) {
  InternalRadio("shrike", {}, "6.1");
  OpenConnected(false, u"115200");
  EXPECT_EQ(About()[IDC_FIRMWARE], u"Radio Firmware: 6.1");
  ASSERT_TRUE(ui.Click(D, IDC_CONNECT));  // Disconnect
  EXPECT_EQ(About()[IDC_FIRMWARE], u"Radio Firmware: Not Connected");
}

TEST_F(AboutDlgTest, HelpRequestOpensTheHelpFileAndLeavesTheBoxOpen) {
  Open(false);
  ui.Schedule(0, [&] {
    ASSERT_TRUE(ui.Help(A));
    EXPECT_FALSE(ui.Window(A)->Owner().HasEnded());
    ui.Ok(A);  // Enter
  });
  ASSERT_TRUE(ui.Click(D, IDC_ABOUT));
  ASSERT_EQ(ui.shellOpens.size(), 1u);
  EXPECT_EQ(ui.shellOpens[0],
            testing_support::HelpFileBesideProgram(Utf8(platform::ModuleFolder())));
  EXPECT_EQ(shell.owners, (std::vector<platform::DialogWindow*>{dlg->Window()}));
}

TEST(BuildText, CompilerDateBecomesTheLabelWithSingleBlanks) {
  EXPECT_EQ(BuildTextFor("Jul 14 2005"), u"Built on Jul 14 2005");
  EXPECT_EQ(BuildTextFor("Jul  4 2005"), u"Built on Jul 4 2005");
  EXPECT_TRUE(buildText.starts_with(u"Built on "));
  EXPECT_EQ(buildText.find(u"  "), std::u16string::npos);
}

// Version texts of program files written here.
class VersionTextTest : public ::testing::Test {
 protected:
  std::u16string VersionOf(const std::vector<std::string>& lines) {
    ElfFile<> elf;
    elf.AddSection(".text", std::string(64, '\x90'));
    elf.AddSection(platform::kVersionSection, VersionBlock(lines));
    WriteFile(path, elf.Bytes());
    return CAboutDlg::VersionText(platform::Utf8ToWide(path));
  }
  TempFolder folder;
  std::string path = folder.Path() + "/program";
};

const std::string kFileVersion = R"(\StringFileInfo\040904b0\FileVersion=)";
const std::string kSpecialBuild = R"(\StringFileInfo\040904b0\SpecialBuild=)";

TEST_F(VersionTextTest, VersionPartEndsBeforeTheSecondComma) {
  EXPECT_EQ(VersionOf({kFileVersion + "1, 0, 0, 0", kSpecialBuild + "9"}), u"1, 0  (Build 9)");
  EXPECT_EQ(VersionOf({kFileVersion + "2,13", kSpecialBuild + "9"}), u"  (Build 9)");
  EXPECT_EQ(VersionOf({kFileVersion + "", kSpecialBuild + "9"}), u"  (Build 9)");
  EXPECT_EQ(VersionOf({kFileVersion + "3,1,", kSpecialBuild + "x=y"}), u"3,1  (Build x=y)");
}

TEST_F(VersionTextTest, MissingSpecialBuildOrFileVersionEmptiesTheWholeText) {
  EXPECT_EQ(VersionOf({kFileVersion + "1, 0, 0, 0"}), u"");
  EXPECT_EQ(VersionOf({kSpecialBuild + "9"}), u"");
  // Another language's block does not count.
  EXPECT_EQ(VersionOf({R"(\StringFileInfo\040704b0\FileVersion=1, 0, 0, 0)",
                       R"(\StringFileInfo\040704b0\SpecialBuild=9)"}),
            u"");
}

TEST_F(VersionTextTest, FileWithoutResourceGivesEmptyText) {
  EXPECT_EQ(CAboutDlg::VersionText(platform::Utf8ToWide(path)), u"");  // no file at all
  WriteFile(path, "#!/bin/sh\necho hello\n");
  EXPECT_EQ(CAboutDlg::VersionText(platform::Utf8ToWide(path)), u"");
  ElfFile<> elf;
  elf.AddSection(".text", "code");
  WriteFile(path, elf.Bytes());
  EXPECT_EQ(CAboutDlg::VersionText(platform::Utf8ToWide(path)), u"");
}

TEST(VersionTextOfBuiltPrograms, TestProgramAndToolCarryTheBuildsResource) {
  const std::regex built(R"(1, 0  \(Build [0-9]+\))");
  const std::u16string own = CAboutDlg::VersionText();
  EXPECT_TRUE(std::regex_match(Utf8(own), built)) << Utf8(own);
#ifdef QELM_CONFIG_PATH
  // The tool may have been linked at another build number than this test program.
  const std::u16string tool = CAboutDlg::VersionText(platform::Utf8ToWide(QELM_CONFIG_PATH));
  EXPECT_TRUE(std::regex_match(Utf8(tool), built)) << Utf8(tool);
#else
  GTEST_SKIP() << "qelm-config is not built";
#endif
}

}  // namespace
