// The control operations of a Qt window: texts, drop-down lists, enabling and showing,
// ids that do not exist, the icon and the window's position.

#include <gtest/gtest.h>

#include <QLabel>

#include "DialogProbe.h"
#include "QtTestSupport.h"
#include "resources/resource.h"

using namespace platform;

namespace {

class QtDialogControls : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dlg.Create()); }
  DialogProbe dlg{IDD_QELMCONFIG_DIALOG};
};

TEST_F(QtDialogControls, TextsOfButtonsLabelsAndCaption) {
  EXPECT_EQ(dlg.GetDlgItemText(IDC_CONNECT), u"Co&nnect");
  EXPECT_EQ(dlg.GetDlgItemText(IDC_BAUDRATE_LABEL), u"Baudrate:");
  dlg.SetDlgItemText(IDC_CONNECT, u"Disco&nnect");
  dlg.SetWindowText(u"Zweiter \u00DCbertrag");
  EXPECT_EQ(dlg.GetDlgItemText(IDC_CONNECT), u"Disco&nnect");
  EXPECT_EQ(dlg.GetWindowText(), u"Zweiter \u00DCbertrag");
  EXPECT_EQ(dlg.Widget()->windowTitle(), QString::fromUtf8("Zweiter \xC3\x9C"
                                                           "bertrag"));
}

TEST_F(QtDialogControls, LabelShowsADoubledAmpersandOnceAndGivesBackItsText) {
  dlg.SetDlgItemText(IDC_MODE_LABEL, u"R&&D:");
  EXPECT_EQ(dlg.GetDlgItemText(IDC_MODE_LABEL), u"R&&D:");
  auto* label = qobject_cast<QLabel*>(dlg.Control(IDC_MODE_LABEL));
  ASSERT_NE(label, nullptr);
  // Qt reads the markers of a label that has a buddy: the text it draws is "R&D:".
  ASSERT_NE(label->buddy(), nullptr);
  EXPECT_EQ(label->text(), QString("R&&D:"));
}

TEST_F(QtDialogControls, DropDownListStartsWithoutSelection) {
  EXPECT_EQ(dlg.ComboAddString(IDC_LINK, u"Slow"), 0);
  EXPECT_EQ(dlg.ComboAddString(IDC_LINK, u"Fast"), 1);
  EXPECT_EQ(dlg.ComboGetCount(IDC_LINK), 2);
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_LINK), CB_ERR);
  EXPECT_EQ(dlg.GetDlgItemText(IDC_LINK), u"");
  EXPECT_EQ(dlg.ComboGetItem(IDC_LINK, 1), u"Fast");
  EXPECT_EQ(dlg.ComboGetItem(IDC_LINK, 2), u"");
  EXPECT_EQ(dlg.ComboGetItem(IDC_LINK, -1), u"");
}

TEST_F(QtDialogControls, DropDownListSelection) {
  for (const char16_t* m : {u"Transparent", u"Packet", u"Repeater"})
    dlg.ComboAddString(IDC_MODE, m);
  dlg.ComboSetCurSel(IDC_MODE, 2);
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_MODE), 2);
  EXPECT_EQ(dlg.GetDlgItemText(IDC_MODE), u"Repeater");
  dlg.ComboAddString(IDC_MODE, u"Monitor");  // adding keeps the selection
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_MODE), 2);
  dlg.ComboSetCurSel(IDC_MODE, 4);
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_MODE), CB_ERR);
  dlg.ComboSetCurSel(IDC_MODE, 1);
  dlg.ComboSetCurSel(IDC_MODE, -1);
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_MODE), CB_ERR);
  EXPECT_EQ(dlg.GetDlgItemText(IDC_MODE), u"");
  dlg.SetDlgItemText(IDC_MODE, u"Packet");  // a drop-down list's text cannot be set
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_MODE), CB_ERR);
  EXPECT_EQ(dlg.ComboSelectString(IDC_MODE, -1, u"pa"), 1);
  EXPECT_EQ(dlg.GetDlgItemText(IDC_MODE), u"Packet");
  dlg.ComboResetContent(IDC_MODE);
  EXPECT_EQ(dlg.ComboGetCount(IDC_MODE), 0);
  EXPECT_EQ(dlg.ComboGetCurSel(IDC_MODE), CB_ERR);
}

TEST_F(QtDialogControls, EnableAndShow) {
  EXPECT_TRUE(dlg.IsControlEnabled(IDC_DEVICE));
  dlg.EnableControl(IDC_DEVICE, false);
  EXPECT_FALSE(dlg.IsControlEnabled(IDC_DEVICE));
  EXPECT_FALSE(dlg.Control(IDC_DEVICE)->isEnabled());
  dlg.EnableControl(IDC_DEVICE, true);
  EXPECT_TRUE(dlg.IsControlEnabled(IDC_DEVICE));
  dlg.ShowControl(IDC_LINK_LABEL, SW_HIDE);
  EXPECT_FALSE(dlg.IsControlVisible(IDC_LINK_LABEL));
  dlg.ShowControl(IDC_LINK_LABEL, SW_SHOWNORMAL);
  EXPECT_TRUE(dlg.IsControlVisible(IDC_LINK_LABEL));
}

TEST_F(QtDialogControls, UnknownAndStaticIdsReadAsNothing) {
  for (int id : {4711, IDC_STATIC}) {
    SCOPED_TRACE(id);
    dlg.SetDlgItemText(id, u"x");
    EXPECT_EQ(dlg.GetDlgItemText(id), u"");
    EXPECT_FALSE(dlg.IsControlEnabled(id));
    EXPECT_FALSE(dlg.IsControlVisible(id));
    EXPECT_EQ(dlg.ComboAddString(id, u"x"), CB_ERR);
    EXPECT_EQ(dlg.ComboGetCount(id), 0);
    EXPECT_EQ(dlg.ComboGetCurSel(id), CB_ERR);
  }
  // Buttons are no drop-down lists.
  EXPECT_EQ(dlg.ComboAddString(IDC_SAVE, u"x"), CB_ERR);
}

TEST_F(QtDialogControls, StaticLabelsOfAnotherTemplateAreNotAddressable) {
  DialogProbe service(IDD_SERVICE);
  ASSERT_TRUE(service.Create());
  EXPECT_EQ(service.GetDlgItemText(IDC_STATIC), u"");
}

TEST_F(QtDialogControls, IconComesFromTheResourceScript) {
  EXPECT_TRUE(dlg.Widget()->windowIcon().isNull());
  dlg.SetIcon(4711);
  EXPECT_TRUE(dlg.Widget()->windowIcon().isNull());
  dlg.SetIcon(IDR_MAINFRAME);
  const QIcon icon = dlg.Widget()->windowIcon();
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.pixmap(QSize(32, 32)).size(), QSize(32, 32));
}

TEST_F(QtDialogControls, MoveToPlacesTheFrameAndKeepsTheSize) {
  const QSize size = dlg.Widget()->size();
  dlg.MoveWindowTo(40, 60);
  ASSERT_TRUE(ShowActive(dlg.Widget()));
  EXPECT_EQ(dlg.Widget()->frameGeometry().topLeft(), QPoint(40, 60));
  dlg.MoveWindowTo(120, 30);
  EXPECT_EQ(dlg.Widget()->frameGeometry().topLeft(), QPoint(120, 30));
  EXPECT_EQ(dlg.Widget()->size(), size);
}

}  // namespace
