#include "platform/dialog/qt/QtDialogWindow.h"

#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/qt/DialogUnits.h"
#include "platform/dialog/qt/Mnemonics.h"
#include "platform/dialog/qt/QtTypeAhead.h"

namespace platform {

namespace {

// Whether a drop-down list keeps its entries in alphabetical order.
constexpr char kSortedProperty[] = "qelmSorted";

QString ToQt(const std::u16string& s) {
  return QString::fromStdU16String(s);
}

bool TakesFocus(ControlKind kind) {
  return kind == ControlKind::PushButton || kind == ControlKind::DefPushButton ||
         kind == ControlKind::ComboBox;
}

Qt::Alignment AlignmentOf(TextAlign align) {
  // Static text starts at the top of its rectangle, however tall the rectangle is.
  switch (align) {
    case TextAlign::Center:
      return Qt::AlignHCenter | Qt::AlignTop;
    case TextAlign::Right:
      return Qt::AlignRight | Qt::AlignTop;
    case TextAlign::Left:
      break;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

Qt::WindowFlags FlagsOf(const DialogTemplate& tpl) {
  if (!tpl.hasCaption) return Qt::Dialog | Qt::FramelessWindowHint;
  // A dialog's frame has neither minimise nor maximise; the close button only with the
  // system menu.
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (tpl.sysMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  return flags;
}

QWidget* MakeControl(const ControlTemplate& c, const DialogUnits& units, CDialog& owner,
                     QWidget* dlg) {
  const QRect rect = units.Rect(c.x, c.y, c.cx, c.cy);
  const int id = c.id;
  switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      auto* button = new QPushButton(ToQt(c.text), dlg);
      // Enter must not click whichever button has the focus; only the default one.
      button->setAutoDefault(false);
      button->setDefault(c.kind == ControlKind::DefPushButton);
      QObject::connect(button, &QPushButton::clicked, dlg,
                       [&owner, id] { owner.DispatchButton(id); });
      button->setGeometry(rect);
      return button;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(dlg);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(AlignmentOf(c.align));
      // Room for a second line (a line is eight units high) means the text is meant to wrap.
      label->setWordWrap(c.cy >= 16 || c.text.find(u'\n') != std::u16string::npos);
      label->setProperty(kRawTextProperty, ToQt(c.text));
      label->setGeometry(rect);
      return label;
    }
    case ControlKind::GroupBox: {
      auto* group = new QGroupBox(ToQt(c.text), dlg);
      group->setGeometry(rect);
      return group;
    }
    case ControlKind::ComboBox:
      break;
  }
  auto* combo = new QComboBox(dlg);
  combo->setEditable(false);
  combo->setProperty(kSortedProperty, c.sorted);
  // The template's height includes the dropped-down list; the closed box keeps its natural
  // single-line height and the rest tells how many entries the list shows.
  const int height = combo->sizeHint().height();
  combo->setGeometry(rect.x(), rect.y(), rect.width(), height);
  const int itemHeight = std::max(1, QFontMetrics(dlg->font()).height() + 2);
  combo->setMaxVisibleItems(std::max(1, (rect.height() - height) / itemHeight));
  QObject::connect(combo, &QComboBox::activated, dlg,
                   [&owner, id](int) { owner.DispatchSelChange(id); });
  return combo;
}

}  // namespace

QtDialogWindow::QtDialogWindow(const DialogTemplate& tpl, CDialog& owner, QWidget* parent,
                               QtTypeAhead* typeAhead)
    : widget_(new QtDialogWidget(owner, parent)), typeAhead_(typeAhead) {
  Build(tpl, owner);
}

QtDialogWindow::~QtDialogWindow() {
  // The parent's destruction or the application's end may have taken the widget already.
  delete widget_.data();
}

void QtDialogWindow::Build(const DialogTemplate& tpl, CDialog& owner) {
  QtDialogWidget* dlg = widget_.data();
  dlg->setWindowFlags(FlagsOf(tpl));
  dlg->setWindowTitle(ToQt(tpl.caption));
  dlg->setFont(QFont(ToQt(tpl.font), tpl.pointSize));
  const DialogUnits units(dlg->font());
  dlg->setFixedSize(units.X(tpl.cx), units.Y(tpl.cy));

  std::vector<QWidget*> all;
  std::vector<QWidget*> focusChain;
  for (const ControlTemplate& c : tpl.controls) {
    QWidget* w = MakeControl(c, units, owner, dlg);
    w->setProperty(kControlIdProperty, c.id);
    if (TakesFocus(c.kind)) {
      w->setFocusPolicy(c.tabStop ? Qt::StrongFocus : Qt::ClickFocus);
      if (c.tabStop) focusChain.push_back(w);
    }
    if (!c.visible) w->hide();
    if (c.disabled) w->setEnabled(false);
    if (c.id != IDC_STATIC && !controls_.count(c.id)) controls_[c.id] = w;
    all.push_back(w);
  }

  // A label's mnemonic moves the focus to the next control that takes it, in template order
  // and wrapping round, as the controller's dialogs do.
  for (size_t at = 0; at < all.size(); ++at) {
    auto* label = qobject_cast<QLabel*>(all[at]);
    if (!label) continue;
    for (size_t k = 1; k < all.size(); ++k) {
      QWidget* next = all[(at + k) % all.size()];
      if (next->focusPolicy() == Qt::NoFocus) continue;
      label->setBuddy(next);
      break;
    }
    SetLabelText(label, label->property(kRawTextProperty).toString());
  }
  // Group boxes frame other controls and must not take their clicks.
  for (QWidget* w : all)
    if (qobject_cast<QGroupBox*>(w)) w->lower();
  for (size_t i = 1; i < focusChain.size(); ++i)
    QWidget::setTabOrder(focusChain[i - 1], focusChain[i]);
  dlg->SetControls(std::move(all));
}

void QtDialogWindow::SetLabelText(QLabel* label, const QString& text) {
  label->setProperty(kRawTextProperty, text);
  // With a buddy Qt itself reads the markers; without one they are only removed.
  label->setText(label->buddy() ? text : WithoutMnemonicMarkers(text));
}

QWidget* QtDialogWindow::Control(int id) const {
  if (!widget_) return nullptr;
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

std::vector<QWidget*> QtDialogWindow::Controls() const {
  return widget_ ? widget_->Controls() : std::vector<QWidget*>();
}

QComboBox* QtDialogWindow::Combo(int id) const {
  return qobject_cast<QComboBox*>(Control(id));
}

void QtDialogWindow::SetEnabled(int id, bool enabled) {
  if (QWidget* w = Control(id)) w->setEnabled(enabled);
}

bool QtDialogWindow::IsEnabled(int id) const {
  QWidget* w = Control(id);
  return w && w->isEnabledTo(widget_.data());
}

void QtDialogWindow::SetVisible(int id, bool visible) {
  if (QWidget* w = Control(id)) w->setVisible(visible);
}

bool QtDialogWindow::IsVisible(int id) const {
  QWidget* w = Control(id);
  return w && !w->isHidden();
}

void QtDialogWindow::SetText(int id, const std::u16string& text) {
  if (id == 0) {
    if (widget_) widget_->setWindowTitle(ToQt(text));
    return;
  }
  QWidget* w = Control(id);
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(ToQt(text));
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    SetLabelText(label, ToQt(text));
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(ToQt(text));
  }
}

std::u16string QtDialogWindow::GetText(int id) const {
  if (id == 0) return widget_ ? widget_->windowTitle().toStdU16String() : std::u16string();
  QWidget* w = Control(id);
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdU16String();
  if (auto* label = qobject_cast<QLabel*>(w))
    return label->property(kRawTextProperty).toString().toStdU16String();
  if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title().toStdU16String();
  if (auto* combo = qobject_cast<QComboBox*>(w))
    return combo->currentIndex() < 0 ? std::u16string() : combo->currentText().toStdU16String();
  return std::u16string();
}

void QtDialogWindow::ComboReset(int id) {
  if (QComboBox* combo = Combo(id)) combo->clear();
}

int QtDialogWindow::ComboAdd(int id, const std::u16string& text) {
  QComboBox* combo = Combo(id);
  if (!combo) return CB_ERR;
  const QString item = ToQt(text);
  int index = combo->count();
  if (combo->property(kSortedProperty).toBool()) {
    // A sorted list puts a new entry after those that do not come later, letter case ignored.
    index = 0;
    while (index < combo->count() &&
           QString::compare(combo->itemText(index), item, Qt::CaseInsensitive) <= 0)
      ++index;
  }
  // Adding to an empty box must not select the entry, as QComboBox would by itself.
  const int selected = combo->currentIndex();
  combo->insertItem(index, item);
  combo->setCurrentIndex(selected < 0 ? -1 : (selected >= index ? selected + 1 : selected));
  return index;
}

int QtDialogWindow::ComboCount(int id) const {
  QComboBox* combo = Combo(id);
  return combo ? combo->count() : 0;
}

std::u16string QtDialogWindow::ComboItem(int id, int index) const {
  QComboBox* combo = Combo(id);
  if (!combo || index < 0 || index >= combo->count()) return std::u16string();
  return combo->itemText(index).toStdU16String();
}

int QtDialogWindow::ComboGetSel(int id) const {
  QComboBox* combo = Combo(id);
  return combo && combo->currentIndex() >= 0 ? combo->currentIndex() : CB_ERR;
}

void QtDialogWindow::ComboSetSel(int id, int index) {
  QComboBox* combo = Combo(id);
  if (!combo) return;
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void QtDialogWindow::SetIcon(int iconResourceId) {
  const std::string* xpm = FindIconResource(iconResourceId);
  if (!widget_ || !xpm) return;
  QPixmap pixmap;
  if (pixmap.loadFromData(reinterpret_cast<const uchar*>(xpm->data()),
                          static_cast<uint>(xpm->size()), "XPM"))
    widget_->setWindowIcon(QIcon(pixmap));
}

void QtDialogWindow::MoveTo(int x, int y) {
  // QWidget::move places a window's frame, not its client area.
  if (widget_) widget_->move(x, y);
}

int QtDialogWindow::RunModal() {
  if (!ended_ && typeAhead_) typeAhead_->BeforeKeyboard();
  if (!ended_ && widget_) {
    running_ = true;
    widget_->exec();
    running_ = false;
  }
  // The window may also have left its loop without EndModal (hidden from elsewhere): that
  // reads as a cancel.
  const int result = ended_ ? endResult_ : IDCANCEL;
  ended_ = false;
  return result;
}

void QtDialogWindow::EndModal(int result) {
  ended_ = true;
  endResult_ = result;
  if (!widget_) return;
  // Ending hides the window at once, whether or not its modal run has begun.
  if (running_)
    widget_->done(result);
  else
    widget_->hide();
}

void QtDialogWindow::SetTimer(int timerId, unsigned periodMs) {
  if (!widget_) return;
  QPointer<QTimer>& timer = timers_[timerId];
  if (!timer) {
    timer = new QTimer(widget_.data());
    CDialog& owner = widget_->Owner();
    QObject::connect(timer.data(), &QTimer::timeout, widget_.data(),
                     [&owner, timerId] { owner.DispatchTimer(timerId); });
  }
  // Setting a running timer again restarts it with the new period; the shortest period is
  // the controller's ten milliseconds.
  timer->start(static_cast<int>(std::clamp<unsigned>(periodMs, 10u, 0x7FFFFFFFu)));
}

void QtDialogWindow::KillTimer(int timerId) {
  // Only stopped, not deleted: a timer handler may kill its own timer.
  auto it = timers_.find(timerId);
  if (it != timers_.end() && it->second) it->second->stop();
}

}  // namespace platform
