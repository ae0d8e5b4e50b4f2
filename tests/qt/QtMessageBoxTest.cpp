// Message boxes of the Qt backend: the buttons, icon and title the MB_ flags ask for, and
// the ID* answer of each way of leaving the box.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "DialogProbe.h"
#include "QtTestSupport.h"
#include "platform/dialog/DialogConstants.h"
#include "resources/resource.h"

using namespace platform;

namespace {

// What the box looked like when it came up.
struct Seen {
  bool shown = false;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QWidget* parent = nullptr;
};

// Runs a box, answering it with `act` as soon as it is the active modal window.
int RunBox(const std::function<int()>& show, const std::function<void(QMessageBox*)>& act,
           Seen* seen) {
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    poll.stop();
    seen->shown = true;
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->icon = box->icon();
    seen->buttons = box->standardButtons();
    seen->defaultButton = box->standardButton(box->defaultButton());
    seen->parent = box->parentWidget();
    act(box);
  });
  poll.start();
  // A box the test cannot find is closed anyway, so that a failure does not hang the tests.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
  });
  guard.start(3000);
  return show();
}

std::function<void(QMessageBox*)> Click(QMessageBox::StandardButton which) {
  return [which](QMessageBox* box) {
    QAbstractButton* b = box->button(which);
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
  };
}

std::function<void(QMessageBox*)> Press(Qt::Key key) {
  return [key](QMessageBox* box) { QTest::keyClick(box, key); };
}

struct Case {
  const char* name;
  unsigned type;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  std::function<void(QMessageBox*)> act;
  int answer;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class QtMessageBoxCases : public testing::TestWithParam<Case> {};

TEST_P(QtMessageBoxCases, LooksAndAnswersAsAsked) {
  const Case& c = GetParam();
  DialogProbe owner(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(owner.Create());
  Seen seen;
  const int answer = RunBox(
      [&] { return owner.MessageBox(u"Save the settings?", u"TUVAR", c.type); }, c.act, &seen);
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.title, QString("TUVAR"));
  EXPECT_EQ(seen.text, QString("Save the settings?"));
  EXPECT_EQ(seen.icon, c.icon);
  EXPECT_EQ(seen.buttons, c.buttons);
  EXPECT_EQ(seen.parent, owner.Widget());
  EXPECT_EQ(answer, c.answer);
}

using MB = QMessageBox;
INSTANTIATE_TEST_SUITE_P(
    Types, QtMessageBoxCases,
    testing::Values(Case{"OkInformation", MB_OK | MB_ICONINFORMATION, MB::Information, MB::Ok,
                         Click(MB::Ok), IDOK},
                    Case{"OkEscape", MB_OK, MB::NoIcon, MB::Ok, Press(Qt::Key_Escape), IDOK},
                    Case{"OkCancelStop", MB_OKCANCEL | MB_ICONSTOP, MB::Critical,
                         MB::Ok | MB::Cancel, Click(MB::Cancel), IDCANCEL},
                    Case{"OkCancelEscape", MB_OKCANCEL | MB_ICONEXCLAMATION, MB::Warning,
                         MB::Ok | MB::Cancel, Press(Qt::Key_Escape), IDCANCEL},
                    Case{"OkCancelEnter", MB_OKCANCEL, MB::NoIcon, MB::Ok | MB::Cancel,
                         Press(Qt::Key_Return), IDOK},
                    Case{"YesNoYes", MB_YESNO | MB_ICONQUESTION, MB::Question, MB::Yes | MB::No,
                         Click(MB::Yes), IDYES},
                    Case{"YesNoNo", MB_YESNO | MB_ICONQUESTION, MB::Question, MB::Yes | MB::No,
                         Click(MB::No), IDNO},
                    Case{"YesNoEscape", MB_YESNO, MB::NoIcon, MB::Yes | MB::No,
                         Press(Qt::Key_Escape), IDNO},
                    Case{"YesNoCancelNo", MB_YESNOCANCEL | MB_ICONEXCLAMATION, MB::Warning,
                         MB::Yes | MB::No | MB::Cancel, Click(MB::No), IDNO},
                    Case{"YesNoCancelEscape", MB_YESNOCANCEL, MB::NoIcon,
                         MB::Yes | MB::No | MB::Cancel, Press(Qt::Key_Escape), IDCANCEL}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(QtMessageBox, FirstButtonIsTheDefault) {
  DialogProbe owner(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(owner.Create());
  Seen seen;
  RunBox([&] { return owner.MessageBox(u"?", u"t", MB_YESNOCANCEL); }, Click(MB::Cancel), &seen);
  EXPECT_EQ(seen.defaultButton, MB::Yes);
}

TEST(QtMessageBox, TextIsShownAsGiven) {
  DialogProbe owner(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(owner.Create());
  Seen seen;
  RunBox([&] { return owner.MessageBox(u"<b>COM1</b> & more", u"t", MB_OK); }, Click(MB::Ok),
         &seen);
  EXPECT_EQ(seen.text, QString("<b>COM1</b> & more"));
}

TEST(QtMessageBox, BoxWithoutOwner) {
  Seen seen;
  const int answer = RunBox([] { return MessageBoxNoOwner(u"No port", u"QELM", MB_OKCANCEL); },
                            Click(MB::Ok), &seen);
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(seen.parent, nullptr);
  EXPECT_EQ(seen.title, QString("QELM"));
}

TEST(QtMessageBox, TimersOfTheOwnerGoOnWhileTheBoxIsOpen) {
  DialogProbe owner(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(owner.Create());
  owner.SetTimer(1, 10);
  Seen seen;
  RunBox([&] { return owner.MessageBox(u"wait", u"t", MB_OK); },
         [&](QMessageBox* box) {
           owner.timers.clear();
           QTest::qWait(100);
           QTest::mouseClick(box->button(MB::Ok), Qt::LeftButton);
         },
         &seen);
  EXPECT_FALSE(owner.timers.empty());
}

}  // namespace
