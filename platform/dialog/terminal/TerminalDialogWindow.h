#pragma once
// A dialog window of the terminal backend: the template's controls in character cells
// (TerminalLayout), their state and the keyboard rules (TerminalDialogModel), drawn by
// TerminalDialogPainter, with every user action handed to the owning CDialog as the command
// it stands for. Its modal run is a layer on the backend's stack; its timers run in the
// backend's loop. The terminal has no icons and always centres its dialogs, so SetIcon and
// MoveTo change nothing.
//
// Operations on ids the template does not have do nothing and read as empty, disabled and
// hidden.

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/terminal/TerminalDialogModel.h"
#include "platform/dialog/terminal/TerminalDialogPainter.h"
#include "platform/dialog/terminal/TerminalLayer.h"
#include "platform/dialog/terminal/TerminalLayout.h"

namespace platform {

class TerminalBackend;

class TerminalDialogWindow final : public DialogWindow, public TerminalLayer {
 public:
  TerminalDialogWindow(TerminalBackend& backend, const DialogTemplate& tpl, CDialog& owner);
  ~TerminalDialogWindow() override;
  TerminalDialogWindow(const TerminalDialogWindow&) = delete;
  TerminalDialogWindow& operator=(const TerminalDialogWindow&) = delete;

  TerminalDialogModel& Model() { return model_; }
  const DialogCells& Cells() const { return cells_; }
  CDialog& Owner() const { return owner_; }
  void FireTimer(int timerId) { owner_.DispatchTimer(timerId); }

  // DialogWindow
  void SetEnabled(int id, bool enabled) override { model_.SetEnabled(id, enabled); }
  bool IsEnabled(int id) const override { return model_.IsEnabled(id); }
  void SetVisible(int id, bool visible) override { model_.SetVisible(id, visible); }
  bool IsVisible(int id) const override { return model_.IsVisible(id); }
  void SetText(int id, const std::u16string& text) override { model_.SetText(id, text); }
  std::u16string GetText(int id) const override { return model_.GetText(id); }
  void ComboReset(int id) override { model_.ComboReset(id); }
  int ComboAdd(int id, const std::u16string& text) override { return model_.ComboAdd(id, text); }
  int ComboCount(int id) const override { return model_.ComboCount(id); }
  std::u16string ComboItem(int id, int index) const override { return model_.ComboItem(id, index); }
  int ComboGetSel(int id) const override { return model_.ComboGetSel(id); }
  void ComboSetSel(int id, int index) override { model_.ComboSetSel(id, index); }
  void SetIcon(int) override {}
  void MoveTo(int, int) override {}
  int RunModal() override;
  void EndModal(int result) override;
  void SetTimer(int timerId, unsigned periodMs) override;
  void KillTimer(int timerId) override;

  // TerminalLayer
  void Paint(TerminalCanvas& canvas, bool active, bool busy) override;
  void HandleKey(const Key& key) override;
  void HandleClick(int x, int y, int screenWidth, int screenHeight) override;
  void HangUp() override;
  bool Ended() const override { return ended_; }
  int FrameWidth() const override { return cells_.FrameWidth(); }
  int FrameHeight() const override { return cells_.FrameHeight(); }

 private:
  void Apply(const DialogCommand& command);

  TerminalBackend& backend_;
  CDialog& owner_;
  DialogCells cells_;
  TerminalDialogModel model_;
  TerminalDialogPainter painter_;
  bool ended_ = false;
  int result_ = IDCANCEL;
  int hangUps_ = 0;
};

}  // namespace platform
