// How a template becomes a Qt window: positions and sizes from dialog units, the window's
// frame and title, tab order, hidden controls and the parent of a nested dialog.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "DialogProbe.h"
#include "QtTestSupport.h"
#include "resources/resource.h"

using namespace platform;

namespace {

const DialogTemplate& Template(int id) {
  const DialogTemplate* tpl = FindDialogTemplate(id);
  EXPECT_NE(tpl, nullptr);
  return *tpl;
}

TEST(QtDialogLayout, EveryControlStandsWhereTheTemplatePutsIt) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(dlg.Create());
  const DialogTemplate& tpl = Template(IDD_QELMCONFIG_DIALOG);
  const ExpectedUnits units(tpl);
  const std::vector<QWidget*> controls = dlg.QtWindow()->Controls();
  ASSERT_EQ(controls.size(), tpl.controls.size());
  for (size_t i = 0; i < controls.size(); ++i) {
    const ControlTemplate& c = tpl.controls[i];
    const QRect expected = units.Rect(c);
    const QRect actual = controls[i]->geometry();
    SCOPED_TRACE(testing::Message() << "control " << i << " id " << c.id);
    EXPECT_EQ(actual.topLeft(), expected.topLeft());
    EXPECT_EQ(actual.width(), expected.width());
    if (c.kind == ControlKind::ComboBox) {
      // The template's height counts the dropped-down list; the box itself is one line.
      EXPECT_EQ(actual.height(), controls[i]->sizeHint().height());
      EXPECT_LT(actual.height(), expected.height() / 2);
    } else {
      EXPECT_EQ(actual.height(), expected.height());
    }
  }
}

TEST(QtDialogLayout, WindowHasTheTemplateSizeCaptionAndFont) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(dlg.Create());
  const DialogTemplate& tpl = Template(IDD_QELMCONFIG_DIALOG);
  const ExpectedUnits units(tpl);
  QWidget* w = dlg.Widget();
  const QSize size(units.X(tpl.cx), units.Y(tpl.cy));
  EXPECT_EQ(w->size(), size);
  EXPECT_EQ(w->minimumSize(), size);
  EXPECT_EQ(w->maximumSize(), size);
  EXPECT_EQ(w->windowTitle(), QString("TUVAR Config Tool "));
  EXPECT_EQ(dlg.GetWindowText(), u"TUVAR Config Tool ");
  EXPECT_EQ(w->font().pointSize(), 8);
  // A compact dialog at eight points: a few pixels per unit, not tens.
  EXPECT_GE(units.baseX, 4);
  EXPECT_LE(units.baseX, 9);
  EXPECT_GE(units.baseY, 10);
  EXPECT_LE(units.baseY, 18);
}

TEST(QtDialogLayout, ControlsStayInsideTheWindowWithoutOverlapping) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(dlg.Create());
  const QRect client = dlg.Widget()->rect();
  std::vector<QWidget*> controls = dlg.QtWindow()->Controls();
  for (QWidget* a : controls) {
    EXPECT_TRUE(client.contains(a->geometry())) << a->metaObject()->className();
    if (qobject_cast<QGroupBox*>(a)) continue;
    for (QWidget* b : controls) {
      if (a != b && !qobject_cast<QGroupBox*>(b)) {
        EXPECT_FALSE(a->geometry().intersects(b->geometry()))
            << a->metaObject()->className() << " meets " << b->metaObject()->className();
      }
    }
  }
}

TEST(QtDialogLayout, KindsMapToTheirWidgets) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(dlg.Create());
  auto* connect = qobject_cast<QPushButton*>(dlg.Control(IDC_CONNECT));
  ASSERT_NE(connect, nullptr);
  EXPECT_FALSE(connect->autoDefault());
  EXPECT_FALSE(connect->isDefault());
  auto* port = qobject_cast<QComboBox*>(dlg.Control(IDC_PORT));
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->isEditable());
  EXPECT_NE(qobject_cast<QLabel*>(dlg.Control(IDC_PORT_LABEL)), nullptr);
  // The group box is static: present among the controls but not addressable.
  int groups = 0;
  for (QWidget* w : dlg.QtWindow()->Controls()) {
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
      ++groups;
      EXPECT_TRUE(g->title().isEmpty());
    }
  }
  EXPECT_EQ(groups, 1);
  EXPECT_EQ(dlg.Control(IDC_STATIC), nullptr);
}

TEST(QtDialogLayout, OnlyTheDefPushButtonIsDefault) {
  DialogProbe dlg(IDD_SERVICE);
  ASSERT_TRUE(dlg.Create());
  auto* ok = qobject_cast<QPushButton*>(dlg.Control(IDOK));
  auto* cancel = qobject_cast<QPushButton*>(dlg.Control(IDCANCEL));
  ASSERT_TRUE(ok && cancel);
  EXPECT_TRUE(ok->isDefault());
  EXPECT_FALSE(cancel->isDefault());
  EXPECT_FALSE(ok->autoDefault());
  EXPECT_FALSE(cancel->autoDefault());
}

TEST(QtDialogLayout, TabOrderFollowsTheTemplateAndSkipsHiddenControls) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(dlg.Create());
  ASSERT_TRUE(ShowActive(dlg.Widget()));
  std::vector<QWidget*> expected;
  for (const ControlTemplate& c : Template(IDD_QELMCONFIG_DIALOG).controls)
    if (c.tabStop && c.visible) expected.push_back(dlg.Control(c.id));
  ASSERT_EQ(expected.size(), 11u);  // 12 tab stops, the Service button hidden
  expected.front()->setFocus(Qt::OtherFocusReason);
  std::vector<QWidget*> visited{QApplication::focusWidget()};
  for (size_t i = 0; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  expected.push_back(expected.front());  // round again to the first
  EXPECT_EQ(visited, expected);
}

TEST(QtDialogLayout, TemplateHiddenControlIsHiddenBeforeAndAfterShowing) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(dlg.Create());
  EXPECT_FALSE(dlg.IsControlVisible(IDC_SERVICE));
  EXPECT_TRUE(dlg.IsControlVisible(IDC_CONNECT));  // before the window is shown, too
  ASSERT_TRUE(ShowActive(dlg.Widget()));
  EXPECT_FALSE(dlg.Control(IDC_SERVICE)->isVisible());
  EXPECT_TRUE(dlg.Control(IDC_CONNECT)->isVisible());
  dlg.ShowControl(IDC_SERVICE, SW_SHOWNORMAL);
  EXPECT_TRUE(dlg.Control(IDC_SERVICE)->isVisible());
  EXPECT_TRUE(dlg.IsControlVisible(IDC_SERVICE));
}

TEST(QtDialogLayout, CloseButtonOnlyWithTheSystemMenu) {
  DialogProbe main(IDD_QELMCONFIG_DIALOG);
  DialogProbe wait(IDD_WAITRADIO);
  ASSERT_TRUE(main.Create());
  ASSERT_TRUE(wait.Create());
  const Qt::WindowFlags withMenu = main.Widget()->windowFlags();
  const Qt::WindowFlags without = wait.Widget()->windowFlags();
  EXPECT_TRUE(withMenu & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(without & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(without & Qt::WindowTitleHint);
  EXPECT_TRUE(without & Qt::CustomizeWindowHint);
  EXPECT_FALSE(withMenu & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
}

TEST(QtDialogLayout, NestedDialogIsATopLevelChildOfItsParentsWindow) {
  DialogProbe main(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(main.Create());
  DialogProbe service(IDD_SERVICE, &main);
  ASSERT_TRUE(service.Create());
  EXPECT_EQ(service.Widget()->parentWidget(), main.Widget());
  EXPECT_TRUE(service.Widget()->isWindow());
  EXPECT_EQ(service.GetWindowText(), u"Service settings");
}

TEST(QtDialogLayout, TallLabelsWrapAndShortOnesDoNot) {
  DialogProbe about(IDD_ABOUTBOX);
  ASSERT_TRUE(about.Create());
  int wrapping = 0;
  for (QWidget* w : about.QtWindow()->Controls()) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (label->wordWrap()) ++wrapping;
      EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
      EXPECT_TRUE(label->alignment() & Qt::AlignTop);
    }
  }
  EXPECT_EQ(wrapping, 1);  // the 34-unit-high description
  EXPECT_FALSE(qobject_cast<QLabel*>(about.Control(IDC_VERSION))->wordWrap());
}

}  // namespace
