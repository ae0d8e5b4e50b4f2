// The Win32 dialog backend on the system's own dialog manager, under wine on a display: the
// program's templates made into real dialog boxes, their controls driven through the
// framework, and the modal run, the timer, the pump and the OK and cancel commands as the
// system delivers them.
#include <gtest/gtest.h>

#include "platform/dialog/win32/WindowsHeader.h"
// After the system's header, which the backend's own header also includes first.
#include "platform/dialog/CDialog.h"
#include "platform/dialog/CWinApp.h"
#include "platform/dialog/win32/DialogTemplateBlob.h"
#include "platform/dialog/win32/Win32Backend.h"
#include "platform/dialog/win32/Win32DialogWindow.h"
#include "resources/resource.h"

namespace {

using platform::CDialog;

class BackendTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetBackend(&backend_); }
  void TearDown() override { platform::SetBackend(nullptr); }
  platform::Win32Backend backend_;
};

// The main template with its handlers open to the test.
class MainDialog : public CDialog {
 public:
  MainDialog() : CDialog(IDD_QELMCONFIG_DIALOG, nullptr) {}
  std::function<void()> onInit;
  using CDialog::OnButtonClicked;
  using CDialog::OnTimerMessage;

 protected:
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    if (onInit) onInit();
    return true;
  }
};

HWND HandleOf(const CDialog& dlg) {
  auto* w = dynamic_cast<platform::Win32DialogWindow*>(dlg.Window());
  return w ? w->Handle() : nullptr;
}

TEST(DialogTemplateBlobTest, HoldsTheTemplateInTheSystemsForm) {
  const platform::DialogTemplate* tpl = platform::FindDialogTemplate(IDD_ABOUTBOX);
  ASSERT_NE(tpl, nullptr);
  platform::DialogTemplateBlob blob(*tpl);
  const auto* head = static_cast<const DLGTEMPLATE*>(blob.Data());
  EXPECT_EQ(reinterpret_cast<uintptr_t>(head) % 4, 0u);
  EXPECT_EQ(head->cdit, tpl->controls.size());
  EXPECT_EQ(head->cx, 145);
  EXPECT_EQ(head->cy, 100);
  EXPECT_TRUE(head->style & DS_SETFONT);
  EXPECT_TRUE(head->style & WS_CAPTION);
  EXPECT_TRUE(head->style & WS_SYSMENU);
}

TEST(DialogTemplateBlobTest, GivesEachControlTheStylesOfItsStatement) {
  platform::ControlTemplate hidden;
  hidden.kind = platform::ControlKind::PushButton;
  hidden.visible = false;
  hidden.tabStop = true;
  const uint32_t button = platform::DialogTemplateBlob::ControlStyle(hidden);
  EXPECT_FALSE(button & WS_VISIBLE);
  EXPECT_TRUE(button & WS_TABSTOP);
  platform::ControlTemplate list;
  list.kind = platform::ControlKind::ComboBox;
  list.sorted = true;
  list.vscroll = true;
  list.disabled = true;
  const uint32_t combo = platform::DialogTemplateBlob::ControlStyle(list);
  EXPECT_EQ(combo & 0xF, static_cast<uint32_t>(CBS_DROPDOWNLIST));
  EXPECT_TRUE(combo & CBS_SORT);
  EXPECT_TRUE(combo & WS_VSCROLL);
  EXPECT_TRUE(combo & WS_DISABLED);
}

TEST_F(BackendTest, MakesTheTemplatesControlsAtTheirDialogUnits) {
  MainDialog dlg;
  ASSERT_TRUE(dlg.Create());
  HWND hwnd = HandleOf(dlg);
  ASSERT_NE(hwnd, nullptr);
  // The Connect button: 97, 3, 45, 14 in the template; position and size are each converted
  // from dialog units, as the dialog manager converts them.
  RECT place = {97, 3, 0, 0};
  RECT size = {0, 0, 45, 14};
  MapDialogRect(hwnd, &place);
  MapDialogRect(hwnd, &size);
  RECT button;
  GetWindowRect(GetDlgItem(hwnd, IDC_CONNECT), &button);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&button), 2);
  EXPECT_EQ(button.left, place.left);
  EXPECT_EQ(button.top, place.top);
  EXPECT_EQ(button.right - button.left, size.right);
  EXPECT_EQ(button.bottom - button.top, size.bottom);
  EXPECT_GT(size.right, 45);  // a dialog unit is more than a pixel at 8 points
  EXPECT_EQ(dlg.GetWindowText(), u"TUVAR Config Tool ");
  EXPECT_EQ(dlg.GetDlgItemText(IDC_CONNECT), u"Co&nnect");
  EXPECT_FALSE(dlg.IsControlVisible(IDC_SERVICE));
  EXPECT_TRUE(dlg.IsControlVisible(IDC_SAVE));
  dlg.DestroyWindow();
}

TEST_F(BackendTest, ChangesEnabledStatesVisibilityAndTexts) {
  MainDialog dlg;
  ASSERT_TRUE(dlg.Create());
  dlg.EnableControl(IDC_SAVE, false);
  EXPECT_FALSE(dlg.IsControlEnabled(IDC_SAVE));
  dlg.EnableControl(IDC_SAVE, true);
  EXPECT_TRUE(dlg.IsControlEnabled(IDC_SAVE));
  dlg.ShowControl(IDC_SERVICE, platform::SW_SHOWNORMAL);
  EXPECT_TRUE(dlg.IsControlVisible(IDC_SERVICE));
  dlg.ShowControl(IDC_SERVICE, platform::SW_HIDE);
  EXPECT_FALSE(dlg.IsControlVisible(IDC_SERVICE));
  dlg.SetDlgItemText(IDC_CONNECT, u"Disco&nnect");
  EXPECT_EQ(dlg.GetDlgItemText(IDC_CONNECT), u"Disco&nnect");
  dlg.SetWindowText(u"Caption \u00e9");
  EXPECT_EQ(dlg.GetWindowText(), u"Caption \u00e9");
  // Ids the template does not have, and the static ones, do nothing and read as empty.
  dlg.SetDlgItemText(4242, u"x");
  EXPECT_EQ(dlg.GetDlgItemText(4242), u"");
  EXPECT_FALSE(dlg.IsControlEnabled(platform::IDC_STATIC));
  EXPECT_FALSE(dlg.IsControlVisible(4242));
  dlg.DestroyWindow();
  EXPECT_EQ(dlg.GetDlgItemText(IDC_CONNECT), u"");
}

TEST_F(BackendTest, DropDownListsHoldSelectAndShowTheirEntries) {
  MainDialog dlg;
  ASSERT_TRUE(dlg.Create());
  EXPECT_EQ(dlg.ComboAddString(IDC_BAUDRATE, u"9600"), 0);
  EXPECT_EQ(dlg.ComboAddString(IDC_BAUDRATE, u"19200"), 1);
  EXPECT_EQ(dlg.ComboAddString(IDC_BAUDRATE, u"115200"), 2);
  EXPECT_EQ(dlg.ComboGetCount(IDC_BAUDRATE), 3);
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_BAUDRATE), platform::CB_ERR);
  EXPECT_EQ(dlg.GetDlgItemText(IDC_BAUDRATE), u"");
  EXPECT_EQ(dlg.ComboSelectString(IDC_BAUDRATE, -1, u"1152"), 2);
  EXPECT_EQ(dlg.GetDlgItemText(IDC_BAUDRATE), u"115200");
  EXPECT_EQ(dlg.ComboSelectString(IDC_BAUDRATE, -1, u"57600"), platform::CB_ERR);
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_BAUDRATE), 2);
  // A list's text is its selected entry's and cannot be set.
  dlg.SetDlgItemText(IDC_BAUDRATE, u"4800");
  EXPECT_EQ(dlg.GetDlgItemText(IDC_BAUDRATE), u"115200");
  dlg.ComboSetCurSel(IDC_BAUDRATE, 7);
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_BAUDRATE), platform::CB_ERR);
  EXPECT_EQ(dlg.ComboGetItem(IDC_BAUDRATE, 1), u"19200");
  EXPECT_EQ(dlg.ComboGetItem(IDC_BAUDRATE, 3), u"");
  dlg.ComboResetContent(IDC_BAUDRATE);
  EXPECT_EQ(dlg.ComboGetCount(IDC_BAUDRATE), 0);
  // A button is no list.
  EXPECT_EQ(dlg.ComboAddString(IDC_SAVE, u"x"), platform::CB_ERR);
  dlg.DestroyWindow();
}

TEST_F(BackendTest, AModalRunEndsWithTheResultGivenInItsInitialisation) {
  MainDialog dlg;
  dlg.onInit = [&] { dlg.EndDialog(platform::IDNO); };
  EXPECT_EQ(dlg.DoModal(), platform::IDNO);
  EXPECT_FALSE(dlg.HasWindow());
}

TEST_F(BackendTest, TheTimerAndTheSystemsCommandsReachTheHandlers) {
  MainDialog dlg;
  int ticks = 0;
  bool saved = false;
  dlg.onInit = [&] { dlg.SetTimer(3, 20); };
  dlg.OnTimerMessage([&](int id) {
    if (id != 3) return;
    if (++ticks == 2) {
      dlg.KillTimer(3);
      // A click as the dialog manager sends it, then Escape's cancel command.
      PostMessageW(HandleOf(dlg), WM_COMMAND, MAKEWPARAM(IDC_SAVE, BN_CLICKED), 0);
      PostMessageW(HandleOf(dlg), WM_COMMAND, MAKEWPARAM(platform::IDCANCEL, BN_CLICKED), 0);
    }
  });
  dlg.OnButtonClicked(IDC_SAVE, [&] { saved = true; });
  EXPECT_EQ(dlg.DoModal(), platform::IDCANCEL);
  EXPECT_EQ(ticks, 2);
  EXPECT_TRUE(saved);
}

TEST_F(BackendTest, ThePumpDispatchesOneWaitingMessageAtATime) {
  MainDialog dlg;
  int clicks = 0;
  bool pumped = false;
  dlg.onInit = [&] { dlg.SetTimer(1, 10); };
  dlg.OnButtonClicked(IDC_ABOUT, [&] { ++clicks; });
  dlg.OnTimerMessage([&](int) {
    dlg.KillTimer(1);
    // Dispatched, not only taken: a paint message stays queued until the window is painted.
    MSG drop;
    while (PeekMessageW(&drop, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&drop);
    EXPECT_FALSE(platform::PumpOneMessage());
    HWND about = GetDlgItem(HandleOf(dlg), IDC_ABOUT);
    PostMessageW(HandleOf(dlg), WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(about));
    PostMessageW(HandleOf(dlg), WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(about));
    EXPECT_TRUE(platform::PumpOneMessage());
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(platform::PumpOneMessage());
    EXPECT_EQ(clicks, 2);
    pumped = true;
    dlg.EndDialog(platform::IDOK);
  });
  EXPECT_EQ(dlg.DoModal(), platform::IDOK);
  EXPECT_TRUE(pumped);
}

TEST_F(BackendTest, TheCloseButtonIsTheCancelCommand) {
  MainDialog dlg;
  bool cancelled = false;
  dlg.onInit = [&] { PostMessageW(HandleOf(dlg), WM_CLOSE, 0, 0); };
  dlg.OnButtonClicked(platform::IDCANCEL, [&] {
    cancelled = true;
    dlg.EndDialog(platform::IDABORT);
  });
  EXPECT_EQ(dlg.DoModal(), platform::IDABORT);
  EXPECT_TRUE(cancelled);
}

TEST_F(BackendTest, KeysTypedWhileBusyAreDroppedAndLaterOnesKept) {
  MainDialog dlg;
  ASSERT_TRUE(dlg.Create());
  HWND hwnd = HandleOf(dlg);
  MSG drop;
  while (PeekMessageW(&drop, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
         PeekMessageW(&drop, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
  platform::BeginWaitCursor();
  PostMessageW(hwnd, WM_KEYDOWN, 'A', 0);
  PostMessageW(hwnd, WM_LBUTTONDOWN, 0, 0);
  Sleep(30);
  platform::EndWaitCursor();
  Sleep(30);
  PostMessageW(hwnd, WM_KEYDOWN, 'B', 0);
  backend_.BeforeKeyboard();
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('B'));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE));
  dlg.DestroyWindow();
}

TEST_F(BackendTest, TheShellIsNotAskedForAFileThatIsNotThere) {
  EXPECT_FALSE(backend_.ShellOpen(nullptr, "C:\\no such folder\\QELM_Help.htm"));
}

}  // namespace
