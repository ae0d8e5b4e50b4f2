// Modal runs and timers of a Qt window: how a run ends, what it answers, and timers that
// reach the dialog while it runs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

#include "DialogProbe.h"
#include "QtTestSupport.h"
#include "resources/resource.h"

using namespace platform;

namespace {

// A run that the test fails to end ends anyway, so that a failure does not hang the tests;
// the guard lives as long as the test.
std::unique_ptr<QTimer> EndAfterAWhile(DialogProbe& dlg) {
  auto guard = std::make_unique<QTimer>();
  guard->setSingleShot(true);
  QObject::connect(guard.get(), &QTimer::timeout, [&dlg] {
    if (dlg.HasWindow()) dlg.EndDialog(-99);
  });
  guard->start(3000);
  return guard;
}

TEST(QtDialogModal, EndModalBeforeTheRunReturnsAtOnce) {
  DialogProbe dlg(IDD_WAITRADIO);
  ASSERT_TRUE(dlg.Create());
  dlg.Widget()->show();
  dlg.Window()->EndModal(5);
  EXPECT_FALSE(dlg.Widget()->isVisible());
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(dlg.Window()->RunModal(), 5);
  EXPECT_LT(clock.elapsed(), 500);
  EXPECT_FALSE(dlg.Widget()->isVisible());
}

TEST(QtDialogModal, TimerHandlerEndsTheRunWithItsResult) {
  DialogProbe dlg(IDD_WAITRADIO);
  auto guard = EndAfterAWhile(dlg);
  dlg.onInit = [&] { dlg.SetTimer(9, 20); };
  dlg.onTimer = [&](int id) {
    EXPECT_TRUE(dlg.Widget()->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), dlg.Widget());
    if (dlg.timers.size() == 3) dlg.EndDialog(1000 + id);
  };
  EXPECT_EQ(dlg.DoModal(), 1009);
  EXPECT_EQ(dlg.timers, (std::vector<int>{9, 9, 9}));
  EXPECT_FALSE(dlg.HasWindow());
}

TEST(QtDialogModal, EscapeDuringTheRunEndsItAsCancelled) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  dlg.endOnCancel = true;
  auto guard = EndAfterAWhile(dlg);
  QTimer::singleShot(50, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) QTest::keyClick(modal, Qt::Key_Escape);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.cancels, 1);
}

TEST(QtDialogModal, EnterAwayFromTheButtonsClicksTheDefaultOneWhichEndsTheRunWithOk) {
  DialogProbe service(IDD_SERVICE, nullptr, false);
  service.endOnOk = true;
  auto guard = EndAfterAWhile(service);
  service.onInit = [&] { service.SetTimer(1, 30); };
  service.onTimer = [&](int) {
    service.KillTimer(1);
    service.Control(IDC_BAND)->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(service.Control(IDC_BAND), Qt::Key_Return);
  };
  EXPECT_EQ(service.DoModal(), IDOK);
  EXPECT_EQ(service.oks, 1);
  EXPECT_EQ(service.cancels, 0);
}

TEST(QtDialogModal, TimersRepeatUntilKilledAndKeepTheirIds) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(dlg.Create());
  dlg.SetTimer(3, 15);
  dlg.SetTimer(4, 15);
  ASSERT_TRUE(WaitFor([&] { return dlg.timers.size() >= 6; }));
  EXPECT_NE(std::count(dlg.timers.begin(), dlg.timers.end(), 3), 0);
  EXPECT_NE(std::count(dlg.timers.begin(), dlg.timers.end(), 4), 0);
  dlg.KillTimer(3);
  dlg.KillTimer(4);
  QTest::qWait(20);
  const size_t fired = dlg.timers.size();
  QTest::qWait(100);
  EXPECT_EQ(dlg.timers.size(), fired);
}

TEST(QtDialogModal, SettingATimerAgainChangesItsPeriod) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(dlg.Create());
  dlg.SetTimer(2, 10000);
  dlg.SetTimer(2, 10);  // not a second timer: the slow one is gone
  ASSERT_TRUE(WaitFor([&] { return dlg.timers.size() >= 3; }));
  dlg.SetTimer(2, 10000);
  QTest::qWait(20);
  const size_t fired = dlg.timers.size();
  QTest::qWait(100);
  EXPECT_EQ(dlg.timers.size(), fired);
}

TEST(QtDialogModal, TimerHandlerMayKillItsOwnTimer) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  ASSERT_TRUE(dlg.Create());
  dlg.onTimer = [&](int id) { dlg.KillTimer(id); };
  dlg.SetTimer(6, 10);
  ASSERT_TRUE(WaitFor([&] { return !dlg.timers.empty(); }));
  QTest::qWait(60);
  EXPECT_EQ(dlg.timers, std::vector<int>{6});
}

}  // namespace
