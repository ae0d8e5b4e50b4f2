#pragma once
// A message box in the terminal: a frame centred on the screen with the caption in its title
// line, an icon sign ("(X)" stop, "(?)" question, "(!)" warning, "(i)" information), the text
// wrapped to the width it may take, and its buttons in a row, each with a mnemonic.
// Tab and the arrows move between the buttons, Enter or Space press the focused one, a letter
// (plain or with Alt) presses the button it marks, a click presses the button under it, and
// Escape answers Cancel where there is one, else the last button (No or OK), as the other
// backends do. The box starts on its default button (the MB_DEFBUTTON bits, else the first).
//
// Any type is shown; unknown button sets read as OK. The answer is an ID* value.

#include <string>
#include <vector>

#include "platform/dialog/text/TextLayer.h"

namespace platform {

class TextMessageBox final : public TextLayer {
 public:
  TextMessageBox(const std::u16string& text, const std::u16string& caption, unsigned type);

  int Answer() const { return answer_; }
  int Focused() const { return focus_; }
  // The buttons' answers, in the order shown.
  std::vector<int> Answers() const;

  void Paint(TextCanvas& canvas, bool active, bool busy) override;
  void HandleKey(const Key& key) override;
  void HandleClick(int x, int y, int screenWidth, int screenHeight) override;
  void HangUp() override;
  bool Ended() const override { return ended_; }
  int FrameWidth() const override;
  int FrameHeight() const override;

 private:
  struct Button {
    std::u16string text;  // with its "&" marker
    int answer;
  };
  struct Geometry {
    int frameX = 0, frameY = 0, width = 0, height = 0;
    std::vector<std::u32string> lines;
    int buttonsX = 0, buttonsY = 0;
  };
  Geometry Measure(int screenWidth, int screenHeight) const;
  int ButtonsWidth() const;
  void Press(size_t button);

  std::u16string text_;
  std::u16string caption_;
  std::u32string icon_;
  std::vector<Button> buttons_;
  size_t focus_ = 0;
  size_t escape_ = 0;
  bool ended_ = false;
  int answer_ = 0;
  int lastScreenWidth_ = 80;
};

}  // namespace platform
