#include "platform/dialog/qt/QtDialogWidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogTemplate.h"
#include "platform/dialog/qt/Mnemonics.h"

namespace platform {

namespace {

QString RawTextOf(QWidget* w) {
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->property(kRawTextProperty).toString();
  return QString();
}

}  // namespace

QtDialogWidget::QtDialogWidget(CDialog& owner, QWidget* parent) : QDialog(parent), owner_(owner) {}

void QtDialogWidget::SetControls(std::vector<QWidget*> controls) {
  controls_ = std::move(controls);
}

void QtDialogWidget::keyPressEvent(QKeyEvent* event) {
  // Keys reach the window only when the focused control left them unused, as in a dialog
  // of the controller: a drop-down list keeps letters and arrows, a button does not.
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  if (mods == Qt::NoModifier) {
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        PressEnter();
        return;
      case Qt::Key_Escape:
        owner_.DispatchCancel();
        return;
      case Qt::Key_F1:
        owner_.DispatchHelp();
        return;
      default:
        break;
    }
  }
  // Alt+letter is Qt's own button shortcut; the plain letter is handled here.
  if ((mods == Qt::NoModifier || mods == Qt::ShiftModifier) && PressMnemonic(event->text())) return;
  // Not QDialog's handler: it would click a focused button on Enter or reject on Escape.
  QWidget::keyPressEvent(event);
}

void QtDialogWidget::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (isVisible()) owner_.DispatchCancel();
}

void QtDialogWidget::PressEnter() {
  int focused = IDC_STATIC;
  if (QWidget* w = focusWidget()) {
    bool ok = false;
    int id = w->property(kControlIdProperty).toInt(&ok);
    if (ok) focused = id;
  }
  owner_.DispatchEnter(focused);
}

bool QtDialogWidget::PressMnemonic(const QString& typed) {
  if (typed.size() != 1 || !typed[0].isLetterOrNumber()) return false;
  // The search starts after the focused control and wraps round, so that a letter shared by
  // several controls moves through them.
  const size_t n = controls_.size();
  size_t start = 0;
  for (size_t i = 0; i < n; ++i)
    if (controls_[i] == focusWidget()) start = i + 1;
  std::vector<QWidget*> matches;
  for (size_t k = 0; k < n; ++k) {
    QWidget* w = controls_[(start + k) % n];
    if (w->isVisibleTo(this) && w->isEnabledTo(this) &&
        MnemonicMatches(MnemonicOf(RawTextOf(w)), typed))
      matches.push_back(w);
  }
  if (matches.empty()) return false;
  QWidget* target = matches.front();
  if (auto* label = qobject_cast<QLabel*>(target)) {
    if (label->buddy()) label->buddy()->setFocus(Qt::ShortcutFocusReason);
  } else if (auto* button = qobject_cast<QAbstractButton*>(target)) {
    if (matches.size() == 1)
      button->click();
    else
      button->setFocus(Qt::ShortcutFocusReason);
  }
  return true;
}

}  // namespace platform
