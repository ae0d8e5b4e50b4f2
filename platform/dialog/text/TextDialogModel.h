#pragma once
// The controls of one dialog in the terminal and what the keyboard and the mouse do to them,
// kept apart from curses and from CDialog so that it can be driven and checked directly. It
// holds each control's text, enabled and visible state and a drop-down list's entries and
// selection, the focus, and the open list. A key or click becomes at most one command for
// the dialog (a button pressed, a selection changed, Enter, the cancel command, help), under
// the rules of the controller's dialog manager:
// - Tab and Shift+Tab move through the template's tab stops; hidden and disabled controls
//   are skipped, and arrows move between buttons as Tab does.
// - Alt+letter, and the plain letter when the focused control does not take letters (a
//   button), press the button whose mnemonic it is, or focus the control after a label
//   whose mnemonic it is; a letter shared by several controls moves the focus among them.
// - Enter is handed on with the focused control (CDialog decides), except on a drop-down
//   list; Escape is cancel; F1 help.
// - Left and Right move the focus as Shift+Tab and Tab do and never change a value; Up and
//   Down do the same between buttons.
// - A closed drop-down list takes Up, Down, Home, End and typed text itself (the selection
//   changes at once); Enter, Space, F4 or Alt+Down open it; in the open list the arrows and
//   typed text move, Enter picks (and the selection-changed command follows), Escape closes
//   without change. Typed text searches by prefix while the keys come close together
//   (TypedPrefix): "19" finds 19200.
//
// Operations on ids the template does not have do nothing and read as empty, disabled and
// hidden.

#include <string>
#include <vector>

#include "platform/dialog/DialogTemplate.h"
#include "platform/dialog/text/TerminalKeys.h"
#include "platform/dialog/text/TypedPrefix.h"

namespace platform {

struct DialogCommand {
  enum class Kind { None, Button, SelChange, Enter, Cancel, Help };
  Kind kind = Kind::None;
  int id = IDC_STATIC;  // the button or list; for Enter the focused control (or IDC_STATIC)

  bool operator==(const DialogCommand&) const = default;
};

class TextDialogModel {
 public:
  struct Control {
    const ControlTemplate* tpl = nullptr;
    std::u16string text;  // not for drop-down lists, which show their selected entry
    bool enabled = true;
    bool visible = true;
    std::vector<std::u16string> items;
    int sel = -1;
  };

  explicit TextDialogModel(const DialogTemplate& tpl);

  const DialogTemplate& Template() const { return tpl_; }
  const std::vector<Control>& Controls() const { return controls_; }
  std::u16string Caption() const { return caption_; }

  // The DialogWindow operations (id 0 is the caption).
  void SetEnabled(int id, bool enabled);
  bool IsEnabled(int id) const;
  void SetVisible(int id, bool visible);
  bool IsVisible(int id) const;
  void SetText(int id, const std::u16string& text);
  std::u16string GetText(int id) const;
  void ComboReset(int id);
  int ComboAdd(int id, const std::u16string& text);
  int ComboCount(int id) const;
  std::u16string ComboItem(int id, int index) const;
  int ComboGetSel(int id) const;
  void ComboSetSel(int id, int index);

  // The focused control's index in template order, -1 when nothing can take the focus. A
  // focused control that has been hidden or disabled gives the focus to the next one.
  int FocusIndex();
  int FocusedId();
  bool CanFocus(int index) const;

  // The open drop-down list: its control's index (-1 when none is open), the entry under the
  // highlight and the first entry shown.
  int OpenList() const { return openList_; }
  int ListHot() const { return listHot_; }
  int ListTop() const { return listTop_; }
  void SetListRows(int index, int rows);  // how many entries the open list shows

  DialogCommand HandleKey(const Key& key);
  // A click on a control (by index), on an entry of the open list, or elsewhere (-1).
  DialogCommand ClickControl(int index);
  DialogCommand ClickListEntry(int entry);

 private:
  Control* Find(int id);
  const Control* Find(int id) const;
  bool IsButton(int index) const;
  void MoveFocus(int step);
  DialogCommand PressMnemonic(char32_t letter);
  DialogCommand ClosedListKey(int index, const Key& key);
  DialogCommand OpenListKey(const Key& key);
  void OpenListOf(int index);
  void CloseList() { openList_ = -1; }
  DialogCommand Pick(int entry);
  TypedPrefix& Search(int index);
  static bool TakesFocus(ControlKind kind);
  void ShowHot();

  const DialogTemplate& tpl_;
  std::u16string caption_;
  std::vector<Control> controls_;
  std::vector<int> listRows_;
  int focus_ = -1;
  int openList_ = -1;
  int listHot_ = 0;
  int listTop_ = 0;
  TypedPrefix search_;
  int searchList_ = -1;
};

}  // namespace platform
