#include "platform/dialog/text/TextDialogWindow.h"

#include "platform/dialog/text/TextBackend.h"

namespace platform {

namespace {

// Cancel commands sent after a hang-up before the window is ended regardless: a dialog that
// will not close on cancel must still not keep a process without a user alive.
constexpr int kHangUpAttempts = 50;

}  // namespace

TextDialogWindow::TextDialogWindow(TextBackend& backend, const DialogTemplate& tpl, CDialog& owner)
    : backend_(backend),
      owner_(owner),
      cells_(LayoutDialog(tpl)),
      model_(tpl),
      painter_(model_, cells_) {
  for (size_t i = 0; i < cells_.controls.size(); ++i)
    model_.SetListRows(static_cast<int>(i), cells_.controls[i].listRows);
}

TextDialogWindow::~TextDialogWindow() {
  backend_.Forget(this);
}

int TextDialogWindow::RunModal() {
  if (!ended_) backend_.RunLayer(*this);
  return result_;
}

void TextDialogWindow::EndModal(int result) {
  ended_ = true;
  result_ = result;
}

void TextDialogWindow::SetTimer(int timerId, unsigned periodMs) {
  backend_.SetTimer(this, timerId, periodMs);
}

void TextDialogWindow::KillTimer(int timerId) {
  backend_.KillTimer(this, timerId);
}

void TextDialogWindow::Paint(TextCanvas& canvas, bool active, bool busy) {
  painter_.Paint(canvas, active, busy);
}

void TextDialogWindow::HandleKey(const Key& key) {
  Apply(model_.HandleKey(key));
}

void TextDialogWindow::HandleClick(int x, int y, int screenWidth, int screenHeight) {
  const auto hit = painter_.HitTest(x, y, screenWidth, screenHeight);
  using Kind = TextDialogPainter::Hit::Kind;
  switch (hit.kind) {
    case Kind::Control:
      Apply(model_.ClickControl(hit.index));
      break;
    case Kind::ListEntry:
      Apply(model_.ClickListEntry(hit.index));
      break;
    case Kind::OutsideList:
      Apply(model_.ClickControl(-1));
      break;
    case Kind::CloseBox:
      owner_.DispatchCancel();
      break;
    case Kind::Nothing:
      break;
  }
}

void TextDialogWindow::HangUp() {
  if (++hangUps_ > kHangUpAttempts) {
    EndModal(IDCANCEL);
    return;
  }
  owner_.DispatchCancel();
}

void TextDialogWindow::Apply(const DialogCommand& command) {
  switch (command.kind) {
    case DialogCommand::Kind::Button:
      owner_.DispatchButton(command.id);
      break;
    case DialogCommand::Kind::SelChange:
      owner_.DispatchSelChange(command.id);
      break;
    case DialogCommand::Kind::Enter:
      owner_.DispatchEnter(command.id);
      break;
    case DialogCommand::Kind::Cancel:
      owner_.DispatchCancel();
      break;
    case DialogCommand::Kind::Help:
      owner_.DispatchHelp();
      break;
    case DialogCommand::Kind::None:
      break;
  }
}

}  // namespace platform
