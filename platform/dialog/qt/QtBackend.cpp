#include "platform/dialog/qt/QtBackend.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QThread>
#include <QUrl>

#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/qt/QtDialogWindow.h"
#include "platform/dialog/qt/QtMessageBox.h"

namespace platform {

namespace {

QWidget* WidgetOf(DialogWindow* window) {
  auto* qtWindow = dynamic_cast<QtDialogWindow*>(window);
  return qtWindow ? qtWindow->Widget() : nullptr;
}

}  // namespace

QtBackend::QtBackend() {
  // The templates ask for the controller's bitmap font, which Linux does not have. These
  // stand-ins come closest in width when installed; otherwise fontconfig's default sans is
  // used, and the layout follows whatever font is chosen, since dialog units are measured
  // on it.
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                             {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                              QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
}

QtBackend::~QtBackend() {
  while (waitCursorDepth_ > 0) EndWaitCursor();
}

std::unique_ptr<DialogWindow> QtBackend::CreateDialogWindow(const DialogTemplate& tpl,
                                                            CDialog& owner, DialogWindow* parent) {
  return std::make_unique<QtDialogWindow>(tpl, owner, WidgetOf(parent), &typeAhead_);
}

int QtBackend::MessageBox(DialogWindow* owner, const std::u16string& text,
                          const std::u16string& caption, unsigned type) {
  typeAhead_.BeforeKeyboard();
  return QtMessageBox(WidgetOf(owner), QString::fromStdU16String(text),
                      QString::fromStdU16String(caption), type)
      .Run();
}

void QtBackend::MessageBeep(unsigned) {
  QApplication::beep();
}

void QtBackend::BeginWaitCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ++waitCursorDepth_;
  typeAhead_.BusyBegan();
}

void QtBackend::EndWaitCursor() {
  // Never more pops than pushes: a cursor someone else set stays.
  if (waitCursorDepth_ == 0) return;
  --waitCursorDepth_;
  QApplication::restoreOverrideCursor();
  typeAhead_.BusyEnded();
}

bool QtBackend::PumpOneMessage() {
  // Qt cannot take exactly one message from the queue; the nearest is one pass of the event
  // dispatcher without waiting, which delivers every event already queued (window system,
  // posted events, due timers) and nothing that arrives later. The callers poll in a loop,
  // so delivering a few at once keeps their meaning. The dispatcher, unlike
  // QCoreApplication::processEvents, tells whether anything was delivered.
  QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
  if (!dispatcher) return false;
  return dispatcher->processEvents(QEventLoop::AllEvents);
}

bool QtBackend::ShellOpen(DialogWindow*, const std::string& path) {
  const QFileInfo info(QFile::decodeName(path.c_str()));
  // The shell refuses a file that is not there without starting anything; the desktop's
  // opener would start a viewer that then shows its own error.
  if (!info.isFile()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

}  // namespace platform
