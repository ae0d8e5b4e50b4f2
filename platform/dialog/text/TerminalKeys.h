#pragma once
// What the terminal backend takes from the user: keys as the dialogs care about them (Alt is
// the ESC prefix the terminal sends before a letter), mouse clicks in screen cells, and the
// terminal's change of size. The curses layer makes these from its own codes; everything
// above it sees only these, so the key handling runs and is tested without a terminal.

namespace platform {

enum class KeyCode {
  None,
  Char,  // a printable character in `ch`
  Enter,
  Escape,
  Tab,
  BackTab,
  Up,
  Down,
  Left,
  Right,
  Home,
  End,
  PageUp,
  PageDown,
  F1,
  F4,
  Redraw,  // Ctrl+L: paint the whole screen again
};

struct Key {
  KeyCode code = KeyCode::None;
  char32_t ch = 0;
  bool alt = false;

  static Key Of(KeyCode code) { return Key{code, 0, false}; }
  static Key Char(char32_t c, bool alt = false) { return Key{KeyCode::Char, c, alt}; }
};

struct InputEvent {
  enum class Kind { Key, Click, Resize, HangUp };
  Kind kind = Kind::Key;
  Key key;
  int x = 0, y = 0;  // screen cell of a click

  static InputEvent OfKey(Key k) { return InputEvent{Kind::Key, k, 0, 0}; }
  static InputEvent OfClick(int x, int y) { return InputEvent{Kind::Click, Key{}, x, y}; }
  static InputEvent OfResize() { return InputEvent{Kind::Resize, Key{}, 0, 0}; }
  static InputEvent OfHangUp() { return InputEvent{Kind::HangUp, Key{}, 0, 0}; }
};

}  // namespace platform
