// The terminal backend with real dialogs (CDialog on the program's templates, the waiting
// dialog itself) on a scripted terminal and the virtual clock: what is drawn where, nested
// modal runs, timers, the one-message pump, the busy mark, hang-ups and unsafe texts.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ScriptedTerminal.h"
#include "TextScope.h"
#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/text/TextBackend.h"
#include "resources/resource.h"
#include "ui/CWaitRadioDlg.h"

using namespace platform;
using namespace terminal_test;

using TextBackendTest = TextScope;

TEST_F(TextBackendTest, TheMainDialogIsCentredWithItsCaptionInTheTitleLine) {
  RecordFrames();
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  term.Code(KeyCode::Escape);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  ASSERT_FALSE(FramesAtDepth(1).empty());
  const TextCanvas& f = FramesAtDepth(1).front();
  // 39 by 16 cells with the frame, centred in 80 by 24.
  EXPECT_EQ(f.At(20, 4).ch, U'\u250C');
  EXPECT_EQ(f.At(58, 19).ch, U'\u2518');
  EXPECT_TRUE(Contains(RowText(f, 4), " TUVAR Config Tool  "));
  EXPECT_TRUE(Contains(RowText(f, 4), "[x]"));  // the template has a close button
  EXPECT_TRUE(Contains(RowText(f, 5), "Port:    [") && Contains(RowText(f, 5), "< Connect >"));
  EXPECT_TRUE(Contains(RowText(f, 17), "<Default>   < Save >   < Close >"));
  // Hidden in the template: the Service button is not drawn.
  EXPECT_FALSE(Contains(f.Dump(), "Service"));
  // The focus starts on the first tab stop, Connect, in reverse video.
  const int connectX = static_cast<int>(RowText(f, 5).find("< Connect >"));
  EXPECT_TRUE(f.At(connectX, 5).attr & kAttrReverse);
  // Its mnemonic is underlined.
  EXPECT_TRUE(f.At(connectX + 4, 5).attr & kAttrUnderline);
}

TEST_F(TextBackendTest, DisabledControlsAreDimAndAResizeCentresAgain) {
  RecordFrames();
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  dlg.init = [&dlg] { dlg.EnableControl(IDC_SAVE, false); };
  term.Resize(100, 30, 10);
  term.Key(Key::Of(KeyCode::Escape), 20);
  dlg.DoModal();
  const TextCanvas& f = FramesAtDepth(1).back();
  EXPECT_EQ(f.Width(), 100);
  EXPECT_EQ(f.At((100 - 39) / 2, (30 - 16) / 2).ch, U'\u250C');
  EXPECT_GE(term.repaints, 1);
  const std::string row = RowText(f, (30 - 16) / 2 + 13);
  const int save = static_cast<int>(row.find("< Save >"));
  ASSERT_GE(save, 0);
  EXPECT_TRUE(f.At(save + 2, (30 - 16) / 2 + 13).attr & kAttrDim);
}

TEST_F(TextBackendTest, WithoutADimAttributeDisabledControlsAreMarkedInCharacters) {
  term.showsDim = false;  // a vt100
  RecordFrames();
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  dlg.init = [&dlg] {
    dlg.EnableControl(IDC_SAVE, false);
    dlg.EnableControl(IDC_DEVICE, false);
    dlg.ComboAddString(IDC_BAUDRATE, u"19200");
    dlg.ComboSetCurSel(IDC_BAUDRATE, 0);
    dlg.EnableControl(IDC_BAUDRATE, false);
  };
  term.Code(KeyCode::Escape);
  dlg.DoModal();
  ASSERT_FALSE(FramesAtDepth(1).empty());
  const std::string screen = FramesAtDepth(1).back().Dump();
  EXPECT_TRUE(Contains(screen, "- Save -")) << screen;
  EXPECT_TRUE(Contains(screen, "< Close >")) << screen;
  EXPECT_TRUE(Contains(screen, "[19200---")) << screen;
  EXPECT_TRUE(Contains(screen, "Device: [------")) << screen;
  EXPECT_TRUE(Contains(screen, "v]")) << screen;  // the enabled Port list: as ever
}

TEST_F(TextBackendTest, AMessageBoxRunsOverItsDialogWhichTakesNoInputMeanwhile) {
  RecordFrames();
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  int answer = 0, abouts = 0;
  dlg.On(IDC_CONNECT, [&] {
    answer = dlg.MessageBox(u"You have changed settings. Save them now?", u"Unsaved Settings",
                            MB_YESNOCANCEL | MB_ICONQUESTION);
  });
  dlg.On(IDC_ABOUT, [&] { ++abouts; });
  term.Char(U'n');          // Connect
  term.Char(U'a', true);    // goes to the box, which has no A
  term.Code(KeyCode::Tab);  // Yes -> No
  term.Code(KeyCode::Enter);
  term.Code(KeyCode::Escape);
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(abouts, 0);

  ASSERT_FALSE(FramesAtDepth(2).empty());
  const std::string box = FramesAtDepth(2).back().Dump();
  EXPECT_TRUE(Contains(box, " Unsaved Settings "));
  EXPECT_TRUE(Contains(box, "(?)  You have changed settings. Save them now?"));
  EXPECT_TRUE(Contains(box, "< Yes >  < No >  < Cancel >"));
  EXPECT_TRUE(Contains(box, "TUVAR Config Tool"));  // the dialog still shows beneath
}

TEST_F(TextBackendTest, MessageBoxAnswersByMnemonicEscapeAndClick) {
  term.Char(U'y');
  EXPECT_EQ(MessageBoxNoOwner(u"Reset?", u"QELM Config", MB_YESNO | MB_ICONEXCLAMATION), IDYES);
  term.Code(KeyCode::Escape);  // no Cancel: Escape is the last button
  EXPECT_EQ(MessageBoxNoOwner(u"Reset?", u"QELM Config", MB_YESNO), IDNO);
  term.Code(KeyCode::Escape);
  EXPECT_EQ(MessageBoxNoOwner(u"Settings saved.", u"QELM Config", MB_OK), IDOK);
  term.Code(KeyCode::Escape);
  EXPECT_EQ(MessageBoxNoOwner(u"Save?", u"x", MB_YESNOCANCEL), IDCANCEL);

  // A click beside the buttons does nothing; one on "< Cancel >" answers Cancel.
  term.At(0, InputEvent::OfClick(0, 0));
  int rowY = -1;
  bool iconAndText = false;
  term.onShow = [&](const TextCanvas& f) {
    iconAndText = iconAndText || Contains(f.Dump(), "(X)  Go on?");
    for (int y = 0; y < f.Height() && rowY < 0; ++y) {
      const std::string row = RowText(f, y);
      if (!Contains(row, "< Cancel >")) continue;
      rowY = y;
      term.At(0, InputEvent::OfClick(static_cast<int>(row.find("Cancel")), y));
    }
  };
  EXPECT_EQ(MessageBoxNoOwner(u"Go on?", u"x", MB_OKCANCEL | MB_ICONSTOP), IDCANCEL);
  EXPECT_GT(rowY, 0);
  EXPECT_TRUE(iconAndText);
}

TEST_F(TextBackendTest, TimersFireInTheLoopAtTheirPeriodUntilKilled) {
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  std::vector<uint64_t> at;
  const uint64_t start = clock.NowUs();
  dlg.init = [&dlg] { dlg.SetTimer(1, 200); };
  dlg.OnTimer([&](int id) {
    EXPECT_EQ(id, 1);
    at.push_back(ElapsedMs(start));
    if (at.size() == 3) {
      dlg.KillTimer(1);
      dlg.EndDialog(IDOK);
    }
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(at, (std::vector<uint64_t>{200, 400, 600}));
}

TEST_F(TextBackendTest, PumpOneMessageDispatchesAtMostOneWaitingEvent) {
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  int abouts = 0, helps = 0;
  std::vector<bool> pumped;
  dlg.On(IDC_ABOUT, [&] { ++abouts; });
  dlg.On(IDC_HELPBUTTON, [&] { ++helps; });
  dlg.init = [&dlg] { dlg.SetTimer(1, 200); };
  dlg.OnTimer([&](int) {
    dlg.KillTimer(1);
    pumped.push_back(PumpOneMessage());  // 200 ms: the keys come at 250
    Sleep(100);
    pumped.push_back(PumpOneMessage());
    EXPECT_EQ(abouts, 1);
    EXPECT_EQ(helps, 0);
    pumped.push_back(PumpOneMessage());
    EXPECT_EQ(helps, 1);
    pumped.push_back(PumpOneMessage());
    dlg.EndDialog(IDOK);
  });
  term.Key(Key::Char(U'a', true), 250);
  term.Key(Key::Char(U'h', true), 250);
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(pumped, (std::vector<bool>{false, true, true, false}));
}

TEST_F(TextBackendTest, TheWaitingDialogShowsItsRateAndItsCancelWorksWhileItPolls) {
  RecordFrames();
  CWaitRadioDlg wait(nullptr);
  wait.m_caption = u"Waiting for radio at 19200 bps...";
  const uint64_t start = clock.NowUs();
  term.Key(Key::Of(KeyCode::Enter), 1000);  // the focused Cancel button
  EXPECT_EQ(wait.DoModal(), IDCANCEL);
  EXPECT_GE(ElapsedMs(start), 1000u);
  EXPECT_LE(ElapsedMs(start), 1100u);  // within one poll
  const std::string shown = FramesAtDepth(1).back().Dump();
  EXPECT_TRUE(Contains(shown, " Waiting for radio at 19200 bps... "));
  EXPECT_TRUE(Contains(shown, "Please disconnect, then reconnect"));
  EXPECT_TRUE(Contains(shown, "the cable to the radio."));
  EXPECT_TRUE(Contains(shown, "< Cancel >"));
  EXPECT_FALSE(Contains(shown, "[x]"));  // no close button in its template
}

TEST_F(TextBackendTest, TheWaitCursorIsABusyMarkShownAtOnce) {
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  std::string duringWork;
  dlg.On(IDC_CONNECT, [&] {
    CWaitCursor busy;
    duringWork = RowText(term.Frame(), 4);  // no pump has run: painted by the cursor itself
    MessageBeep(MB_OK);
  });
  term.Char(U'n');
  term.Code(KeyCode::Escape);
  dlg.DoModal();
  EXPECT_TRUE(Contains(duringWork, "[busy]"));
  EXPECT_FALSE(Contains(RowText(term.Frame(), 4), "[busy]"));
  EXPECT_EQ(term.bells, 1);
  EXPECT_FALSE(backend.Busy());
}

TEST_F(TextBackendTest, AHangUpAnswersNoAndClosesEveryRun) {
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  int answer = 0;
  dlg.On(IDC_CONNECT,
         [&] { answer = dlg.MessageBox(u"Save?", u"Unsaved Settings", MB_YESNOCANCEL); });
  term.Char(U'n');
  term.At(0, InputEvent::OfHangUp());
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(answer, IDNO);
  EXPECT_TRUE(backend.HungUp());
  // Later boxes do not wait for anybody either.
  EXPECT_EQ(MessageBoxNoOwner(u"Settings saved.", u"", MB_OK), IDOK);
}

TEST_F(TextBackendTest, ADialogThatIgnoresCancelStillEndsAfterAHangUp) {
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  int cancels = 0;
  dlg.On(IDCANCEL, [&] { ++cancels; });
  term.At(0, InputEvent::OfHangUp());
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_GT(cancels, 1);
}

TEST_F(TextBackendTest, NothingRawFromATextReachesTheScreen) {
  RecordFrames();
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  dlg.init = [&dlg] {
    dlg.SetDlgItemText(IDC_MODE_LABEL, u"\x1b[2J\x9b");
    dlg.SetWindowText(u"\x1b]0;title\x07");
    dlg.ComboAddString(IDC_DEVICE, u"dev\r\n\x1b[31m");
    dlg.ComboSetCurSel(IDC_DEVICE, 0);
  };
  term.Code(KeyCode::Escape);
  dlg.DoModal();
  const TextCanvas& f = FramesAtDepth(1).back();
  for (int y = 0; y < f.Height(); ++y)
    for (int x = 0; x < f.Width(); ++x) {
      const char32_t c = f.At(x, y).ch;
      EXPECT_FALSE(c < 0x20 || (c >= 0x7F && c < 0xA0)) << x << "," << y;
    }
  const std::string screen = f.Dump();
  EXPECT_TRUE(Contains(screen, "^[]0;title^G"));
  EXPECT_TRUE(Contains(screen, "dev^M^J^[[31m"));
}

TEST_F(TextBackendTest, ClicksReachTheButtonUnderThem) {
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  int abouts = 0;
  dlg.On(IDC_ABOUT, [&] { ++abouts; });
  // About sits at client cell (2, 10): screen (20 + 1 + 2, 4 + 1 + 10).
  term.At(0, InputEvent::OfClick(25, 15));
  term.At(0, InputEvent::OfClick(56, 4));  // the close box: the cancel command
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(abouts, 1);
}

TEST_F(TextBackendTest, ATooSmallTerminalSaysWhatItNeeds) {
  ScriptedTerminal small(34, 10);
  TextBackend smallBackend(small);
  SetBackend(&smallBackend);
  ProbeDialog dlg(IDD_QELMCONFIG_DIALOG);
  small.Code(KeyCode::Escape);
  std::string lastRow;
  small.onShow = [&](const TextCanvas& f) {
    if (smallBackend.Depth() == 1) lastRow = RowText(f, 9);
  };
  dlg.DoModal();
  EXPECT_EQ(lastRow, "Terminal too small: needs 39x16");
  SetBackend(&backend);
}

TEST_F(TextBackendTest, ShellOpenHandsTheTerminalToATextBrowser) {
  // A folder of its own: a fixed name could be another user's, holding another "w3m".
  char folder[] = "/tmp/qelm-shell-open-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string dir = folder;
  const std::string browser = dir + "/w3m";
  std::ofstream(browser) << "#!/bin/sh\n";
  chmod(browser.c_str(), 0700);
  const std::string page = dir + "/QELM_Help.htm";
  std::ofstream(page) << "<html></html>";
  const char* oldPath = getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", dir.c_str(), 1);
  unsetenv("BROWSER");
  EXPECT_TRUE(backend.ShellOpen(nullptr, page));
  // A missing file shows nothing at all, browser or not.
  EXPECT_FALSE(backend.ShellOpen(nullptr, dir + "/missing.htm"));
  EXPECT_EQ(backend.Depth(), 0u);
  setenv("PATH", "/nonexistent", 1);
  EXPECT_FALSE(backend.ShellOpen(nullptr, dir + "/missing.htm"));
  setenv("PATH", savedPath.c_str(), 1);
  unlink(browser.c_str());
  unlink(page.c_str());
  rmdir(dir.c_str());
  ASSERT_EQ(term.programs.size(), 1u);
  EXPECT_EQ(term.programs[0], (std::vector<std::string>{"w3m", page}));
}

TEST_F(TextBackendTest, WithoutATextBrowserAMessageBoxSaysWhereTheHelpIs) {
  // A short folder, so that the box shows the path on one line.
  char folder[] = "/tmp/qelm-help-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string dir = folder;
  const std::string page = dir + "/QELM_Help.htm";
  std::ofstream(page) << "<html></html>";
  const char* oldPath = getenv("PATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("PATH", "/nonexistent", 1);
  setenv("BROWSER", "links2:mybrowser", 1);
  std::string shown;
  term.onShow = [&](const TextCanvas& f) {
    if (backend.Depth() == 1) shown = f.Dump();
  };
  term.Code(KeyCode::Enter);
  const bool opened = backend.ShellOpen(nullptr, page);
  setenv("PATH", savedPath.c_str(), 1);
  unsetenv("BROWSER");

  EXPECT_FALSE(opened);
  EXPECT_TRUE(term.programs.empty());
  EXPECT_EQ(term.Pending(), 0u) << "the box took the Enter key";
  EXPECT_EQ(backend.Depth(), 0u);
  EXPECT_TRUE(Contains(shown, "No text browser was found")) << shown;
  EXPECT_TRUE(Contains(shown, page)) << shown;
  EXPECT_TRUE(Contains(shown, "Tried: links2, mybrowser, www-browser, w3m, lynx,")) << shown;
  EXPECT_TRUE(Contains(shown, "elinks.")) << shown;
  unlink(page.c_str());
  rmdir(dir.c_str());
}
