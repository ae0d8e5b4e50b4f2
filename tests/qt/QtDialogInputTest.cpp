// User actions on a live window and where they arrive in the dialog: button clicks,
// mnemonics, Enter, Escape, the close button, F1 and selections in drop-down lists.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include "DialogProbe.h"
#include "QtTestSupport.h"
#include "resources/resource.h"

using namespace platform;

namespace {

class QtDialogInput : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(ShowActive(dlg.Widget()));
  }
  void Focus(int id) {
    dlg.Control(id)->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), dlg.Control(id));
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, mods);
  }

  DialogProbe dlg{IDD_QELMCONFIG_DIALOG};
};

TEST_F(QtDialogInput, MouseClickReachesTheButtonsHandler) {
  QTest::mouseClick(dlg.Control(IDC_SAVE), Qt::LeftButton);
  EXPECT_EQ(dlg.clicks, std::vector<int>{IDC_SAVE});
  EXPECT_EQ(dlg.oks + dlg.cancels, 0);
}

TEST_F(QtDialogInput, ClicksInsideTheGroupBoxReachTheControlsInIt) {
  // Sent to the window, so that Qt finds the control under the pointer as for a real click.
  for (int id : {IDC_ABOUT, IDC_CLOSE}) {
    QWidget* button = dlg.Control(id);
    QTest::mouseClick(dlg.Widget()->windowHandle(), Qt::LeftButton, {},
                      button->geometry().center());
  }
  EXPECT_EQ(dlg.clicks, (std::vector<int>{IDC_ABOUT, IDC_CLOSE}));
}

TEST_F(QtDialogInput, DisabledButtonIgnoresTheMouse) {
  dlg.EnableControl(IDC_SAVE, false);
  EXPECT_FALSE(dlg.IsControlEnabled(IDC_SAVE));
  QTest::mouseClick(dlg.Control(IDC_SAVE), Qt::LeftButton);
  EXPECT_TRUE(dlg.clicks.empty());
}

TEST_F(QtDialogInput, AltMnemonicClicksItsButtonFromAnyControl) {
  Focus(IDC_PORT);
  Key(Qt::Key_C, Qt::AltModifier);
  ASSERT_TRUE(WaitFor([&] { return !dlg.clicks.empty(); }));
  Key(Qt::Key_N, Qt::AltModifier);
  ASSERT_TRUE(WaitFor([&] { return dlg.clicks.size() == 2; }));
  EXPECT_EQ(dlg.clicks, (std::vector<int>{IDC_CLOSE, IDC_CONNECT}));
}

TEST_F(QtDialogInput, MnemonicOfAHiddenOrDisabledButtonDoesNothing) {
  Focus(IDC_ABOUT);
  Key(Qt::Key_E, Qt::AltModifier);  // S&ervice, hidden by the template
  dlg.EnableControl(IDC_SAVE, false);
  Key(Qt::Key_S, Qt::AltModifier);
  QTest::qWait(250);
  EXPECT_TRUE(dlg.clicks.empty());
  dlg.ShowControl(IDC_SERVICE, SW_SHOWNORMAL);
  Key(Qt::Key_E, Qt::AltModifier);
  ASSERT_TRUE(WaitFor([&] { return !dlg.clicks.empty(); }));
  EXPECT_EQ(dlg.clicks, std::vector<int>{IDC_SERVICE});
}

TEST_F(QtDialogInput, PlainLetterClicksWhenAButtonHasTheFocus) {
  Focus(IDC_ABOUT);
  Key(Qt::Key_D);
  EXPECT_EQ(dlg.clicks, std::vector<int>{IDC_DEFAULT});
}

TEST_F(QtDialogInput, PlainLetterStaysWithAFocusedDropDownList) {
  dlg.ComboAddString(IDC_BAUDRATE, u"9600");
  dlg.ComboAddString(IDC_BAUDRATE, u"19200");
  Focus(IDC_BAUDRATE);
  Key(Qt::Key_C);
  QTest::qWait(50);
  EXPECT_TRUE(dlg.clicks.empty());
}

TEST_F(QtDialogInput, MnemonicFollowsTextChanges) {
  dlg.SetDlgItemText(IDC_DEFAULT, u"Defa&ult");
  EXPECT_EQ(dlg.GetDlgItemText(IDC_DEFAULT), u"Defa&ult");
  Focus(IDC_ABOUT);
  Key(Qt::Key_D);  // nobody's mnemonic any more
  Key(Qt::Key_U);
  Key(Qt::Key_U, Qt::AltModifier);
  ASSERT_TRUE(WaitFor([&] { return dlg.clicks.size() == 2; }));
  EXPECT_EQ(dlg.clicks, (std::vector<int>{IDC_DEFAULT, IDC_DEFAULT}));
}

TEST_F(QtDialogInput, EnterPressesTheFocusedButtonElseIsTheOkCommand) {
  // At start the focus is on the first control of the tab order, "Co&nnect".
  EXPECT_EQ(QApplication::focusWidget(), dlg.Control(IDC_CONNECT));
  Key(Qt::Key_Return);
  Focus(IDC_ABOUT);
  Key(Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(dlg.clicks, (std::vector<int>{IDC_CONNECT, IDC_ABOUT}));
  EXPECT_EQ(dlg.oks, 0);
  // No push button in this template is the default one: away from the buttons Enter is OK.
  Focus(IDC_DEVICE);
  Key(Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(dlg.oks, 1);
  EXPECT_EQ(dlg.clicks.size(), 2u);
}

TEST(QtDialogEnter, EnterPressesTheFocusedButtonElseTheDefaultOne) {
  DialogProbe dlg(IDD_SERVICE);
  ASSERT_TRUE(dlg.Create());
  ASSERT_TRUE(ShowActive(dlg.Widget()));
  dlg.Control(IDCANCEL)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(dlg.Control(IDCANCEL), Qt::Key_Return);
  dlg.Control(IDC_BAND)->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(dlg.Control(IDC_BAND), Qt::Key_Return);
  EXPECT_EQ(dlg.clicks, (std::vector<int>{IDCANCEL, IDOK}));
  EXPECT_EQ(dlg.oks + dlg.cancels, 0);
}

TEST(QtDialogEnter, AParentTakesNoCommandWhileItsModalChildIsUp) {
  DialogProbe main(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(main.Create());
  DialogProbe child(IDD_WAITRADIO, &main);
  child.endOnCancel = true;
  child.onInit = [&] {
    QTimer::singleShot(0, [&] {
      // Whatever reaches the parent's window now is dropped, not queued for later.
      static_cast<QPushButton*>(main.Control(IDC_CONNECT))->click();
      QTest::keyClick(main.Widget(), Qt::Key_Return);
      QTest::keyClick(main.Widget(), Qt::Key_Escape);
      child.DispatchCancel();
    });
  };
  EXPECT_EQ(child.DoModal(), IDCANCEL);
  EXPECT_TRUE(main.clicks.empty());
  EXPECT_EQ(main.oks + main.cancels, 0);
  static_cast<QPushButton*>(main.Control(IDC_CONNECT))->click();
  EXPECT_EQ(main.clicks, std::vector<int>{IDC_CONNECT});
}

TEST_F(QtDialogInput, EscapeIsTheCancelCommand) {
  Focus(IDC_SAVE);
  Key(Qt::Key_Escape);
  Focus(IDC_PORT);
  Key(Qt::Key_Escape);
  EXPECT_EQ(dlg.cancels, 2);
  EXPECT_TRUE(dlg.clicks.empty());
}

TEST_F(QtDialogInput, CloseButtonIsTheCancelCommandAndLeavesTheWindowOpen) {
  EXPECT_FALSE(dlg.Widget()->close());
  EXPECT_EQ(dlg.cancels, 1);
  EXPECT_TRUE(dlg.Widget()->isVisible());
}

TEST_F(QtDialogInput, F1AsksForHelp) {
  Focus(IDC_MODE);
  Key(Qt::Key_F1);
  EXPECT_EQ(dlg.helps, 1);
}

TEST_F(QtDialogInput, UserSelectionReachesTheHandlerAndProgramSelectionDoesNot) {
  for (const char16_t* port : {u"ttyS0", u"ttyS1", u"ttyUSB0"}) dlg.ComboAddString(IDC_PORT, port);
  dlg.ComboSetCurSel(IDC_PORT, 0);
  dlg.ComboSetCurSel(IDC_PORT, 2);
  EXPECT_TRUE(dlg.selChanges.empty());
  Focus(IDC_PORT);
  Key(Qt::Key_Up);
  EXPECT_EQ(dlg.selChanges, std::vector<int>{IDC_PORT});
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_PORT), 1);
  EXPECT_EQ(dlg.GetDlgItemText(IDC_PORT), u"ttyS1");
}

TEST_F(QtDialogInput, NothingArrivesOnceTheWindowIsGone) {
  QPointer<QPushButton> save = qobject_cast<QPushButton*>(dlg.Control(IDC_SAVE));
  dlg.DestroyWindow();
  EXPECT_TRUE(save.isNull());
  EXPECT_EQ(dlg.GetDlgItemText(IDC_SAVE), u"");
}

}  // namespace
