// Keys and clicks queued for the tool's windows while the wait cursor is up are dropped before
// a message box or a dialog takes the keyboard; those queued while the tool is idle are kept.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "DialogProbe.h"
#include "QtTestSupport.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/qt/QtBackend.h"
#include "resources/resource.h"

using namespace platform;

namespace {

// The user's input, queued as the window system queues it while nobody reads the queue.
void QueueEscapeAndClick(DialogProbe& dlg, int buttonId) {
  QCoreApplication::postEvent(dlg.Widget(),
                              new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  QWidget* button = dlg.Control(buttonId);
  const QPointF at(button->width() / 2.0, button->height() / 2.0);
  const QPointF global = button->mapToGlobal(at);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
    QCoreApplication::postEvent(
        button, new QMouseEvent(type, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
}

// Presses a button of the message box once it is up.
void PressInBoxSoon(QMessageBox::StandardButton which) {
  QTimer::singleShot(200, [which] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box && box->button(which)) box->button(which)->click();
  });
}

// The main dialog runs; a timer stands for the user's press that starts the work, which
// queues input as given and ends in a box. Returns the box's answer.
int RunWorkEndingInABox(DialogProbe& dlg, bool busy) {
  int answer = 0;
  dlg.endOnCancel = true;
  dlg.onInit = [&] { dlg.SetTimer(1, 50); };
  dlg.onTimer = [&](int) {
    dlg.KillTimer(1);
    if (busy) BeginWaitCursor();
    QueueEscapeAndClick(dlg, IDC_CONNECT);
    if (busy) EndWaitCursor();
    PressInBoxSoon(QMessageBox::Ok);
    answer = dlg.MessageBox(u"Settings saved.", u"QELM Config", MB_OKCANCEL);
    if (dlg.HasWindow()) dlg.EndDialog(7);
  };
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&dlg] {
    if (dlg.HasWindow()) dlg.EndDialog(-99);
  });
  guard.start(5000);
  dlg.DoModal();
  return answer;
}

int Discarded() {
  auto* backend = dynamic_cast<QtBackend*>(&CurrentBackend());
  return backend ? backend->TypeAhead().Discarded() : -1;
}

TEST(QtTypeAhead, InputQueuedWhileBusyReachesNeitherTheBoxNorTheDialog) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  const int before = Discarded();
  EXPECT_EQ(RunWorkEndingInABox(dlg, true), IDOK);
  EXPECT_EQ(dlg.cancels, 0);
  EXPECT_TRUE(dlg.clicks.empty());
  EXPECT_GE(Discarded() - before, 3);  // the key (and its shortcut check), press and release
}

TEST(QtTypeAhead, InputQueuedWhileIdleIsDeliveredAsTyped) {
  DialogProbe dlg(IDD_QELMCONFIG_DIALOG);
  RunWorkEndingInABox(dlg, false);
  EXPECT_EQ(dlg.cancels, 1);
  EXPECT_EQ(dlg.clicks, std::vector<int>{IDC_CONNECT});
}

TEST(QtTypeAhead, ADialogOpenedAfterTheWorkDropsItToo) {
  DialogProbe main(IDD_QELMCONFIG_DIALOG);
  DialogProbe service(IDD_SERVICE, &main);
  main.onInit = [&] { main.SetTimer(1, 50); };
  main.onTimer = [&](int) {
    main.KillTimer(1);
    BeginWaitCursor();
    EndWaitCursor();
    // The Escape typed during the work; the window system hands it to the window that has the
    // keyboard when it is read, which is the new dialog by then.
    service.onInit = [&] {
      QCoreApplication::postEvent(service.Widget(),
                                  new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
      service.SetTimer(2, 300);
    };
    service.onTimer = [&](int) { service.EndDialog(IDOK); };
    EXPECT_EQ(service.DoModal(), IDOK);
    main.EndDialog(7);
  };
  EXPECT_EQ(main.DoModal(), 7);
  // Escape in a dialog with a Cancel button is that button's command.
  EXPECT_TRUE(service.clicks.empty());
  EXPECT_EQ(service.cancels, 0);
}

}  // namespace
