#pragma once
// A dialog window of the terminal backend: the template's controls in character cells
// (TextLayout), their state and the keyboard rules (TextDialogModel), drawn by
// TextDialogPainter, with every user action handed to the owning CDialog as the command
// it stands for. Its modal run is a layer on the backend's stack; its timers run in the
// backend's loop. The terminal has no icons and always centres its dialogs, so SetIcon and
// MoveTo change nothing.
//
// Operations on ids the template does not have do nothing and read as empty, disabled and
// hidden.

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogBackend.h"
#include "platform/dialog/text/TextDialogModel.h"
#include "platform/dialog/text/TextDialogPainter.h"
#include "platform/dialog/text/TextLayer.h"
#include "platform/dialog/text/TextLayout.h"

namespace platform {

class TextBackend;

class TextDialogWindow final : public DialogWindow, public TextLayer {
 public:
  TextDialogWindow(TextBackend& backend, const DialogTemplate& tpl, CDialog& owner);
  ~TextDialogWindow() override;
  TextDialogWindow(const TextDialogWindow&) = delete;
  TextDialogWindow& operator=(const TextDialogWindow&) = delete;

  TextDialogModel& Model() { return model_; }
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

  // TextLayer
  void Paint(TextCanvas& canvas, bool active, bool busy) override;
  void HandleKey(const Key& key) override;
  void HandleClick(int x, int y, int screenWidth, int screenHeight) override;
  void HangUp() override;
  bool Ended() const override { return ended_; }
  int FrameWidth() const override { return cells_.FrameWidth(); }
  int FrameHeight() const override { return cells_.FrameHeight(); }

 private:
  void Apply(const DialogCommand& command);

  TextBackend& backend_;
  CDialog& owner_;
  DialogCells cells_;
  TextDialogModel model_;
  TextDialogPainter painter_;
  bool ended_ = false;
  int result_ = IDCANCEL;
  int hangUps_ = 0;
};

}  // namespace platform
