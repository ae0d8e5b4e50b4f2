#include "platform/dialog/qt/QtMessageBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

#include "platform/dialog/DialogConstants.h"

namespace platform {

namespace {

// The default-button bits of the type; DialogConstants has no names for them as the program does
// not use them, but a caller may.
constexpr unsigned kDefButtonMask = 0xF00;
constexpr unsigned kDefButtonShift = 8;

using Choice = std::pair<QMessageBox::StandardButton, int>;

std::vector<Choice> ChoicesOf(unsigned type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case 0x2:  // abort, retry, ignore
      return {{QMessageBox::Abort, IDABORT},
              {QMessageBox::Retry, IDRETRY},
              {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
      return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
      return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case 0x5:  // retry, cancel
      return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
      return {{QMessageBox::Ok, IDOK}};
  }
}

QMessageBox::Icon IconOf(unsigned type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The choice Escape stands for: Cancel if offered, else the last one (No, Ignore or OK).
size_t EscapeChoice(const std::vector<Choice>& choices) {
  for (size_t i = 0; i < choices.size(); ++i)
    if (choices[i].second == IDCANCEL) return i;
  return choices.size() - 1;
}

}  // namespace

QtMessageBox::QtMessageBox(QWidget* owner, const QString& text, const QString& caption,
                           unsigned type)
    : owner_(owner), text_(text), caption_(caption), type_(type) {}

int QtMessageBox::Run() {
  const std::vector<Choice> choices = ChoicesOf(type_);
  QMessageBox box(IconOf(type_), caption_, text_, QMessageBox::NoButton, owner_);
  box.setTextFormat(Qt::PlainText);
  std::vector<QPushButton*> buttons;
  for (const Choice& choice : choices) buttons.push_back(box.addButton(choice.first));
  const size_t defIndex = (type_ & kDefButtonMask) >> kDefButtonShift;
  box.setDefaultButton(buttons[defIndex < buttons.size() ? defIndex : 0]);
  const size_t escIndex = EscapeChoice(choices);
  box.setEscapeButton(buttons[escIndex]);
  box.exec();
  for (size_t i = 0; i < buttons.size(); ++i)
    if (box.clickedButton() == buttons[i]) return choices[i].second;
  return choices[escIndex].second;
}

}  // namespace platform
