#include "platform/dialog/text/TextMessageBox.h"

#include <algorithm>

#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/text/TextLayout.h"
#include "platform/system/SafeText.h"

namespace platform {

namespace {

constexpr unsigned kDefButtonMask = 0xF00;
constexpr unsigned kDefButtonShift = 8;
constexpr int kMaxTextWidth = 50;
constexpr int kButtonGap = 2;
constexpr int kMargin = 2;  // blank cells between the frame and the contents

int Len(const std::u32string& s) {
  return static_cast<int>(s.size());
}

std::u32string FaceOf(const std::u16string& text) {
  return U"< " + ParseMnemonic(text).shown + U" >";
}

}  // namespace

TextMessageBox::TextMessageBox(const std::u16string& text, const std::u16string& caption,
                               unsigned type)
    : text_(text), caption_(caption) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      buttons_ = {{u"&OK", IDOK}, {u"&Cancel", IDCANCEL}};
      break;
    case 0x2:  // abort, retry, ignore
      buttons_ = {{u"&Abort", IDABORT}, {u"&Retry", IDRETRY}, {u"&Ignore", IDIGNORE}};
      break;
    case MB_YESNOCANCEL:
      buttons_ = {{u"&Yes", IDYES}, {u"&No", IDNO}, {u"&Cancel", IDCANCEL}};
      break;
    case MB_YESNO:
      buttons_ = {{u"&Yes", IDYES}, {u"&No", IDNO}};
      break;
    case 0x5:  // retry, cancel
      buttons_ = {{u"&Retry", IDRETRY}, {u"&Cancel", IDCANCEL}};
      break;
    default:
      buttons_ = {{u"&OK", IDOK}};
      break;
  }
  switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
      icon_ = U"(X)";
      break;
    case MB_ICONQUESTION:
      icon_ = U"(?)";
      break;
    case MB_ICONEXCLAMATION:
      icon_ = U"(!)";
      break;
    case MB_ICONINFORMATION:
      icon_ = U"(i)";
      break;
    default:
      break;
  }
  const size_t def = (type & kDefButtonMask) >> kDefButtonShift;
  focus_ = def < buttons_.size() ? def : 0;
  escape_ = buttons_.size() - 1;
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i].answer == IDCANCEL) escape_ = i;
  answer_ = buttons_[escape_].answer;
}

std::vector<int> TextMessageBox::Answers() const {
  std::vector<int> out;
  for (const Button& b : buttons_) out.push_back(b.answer);
  return out;
}

int TextMessageBox::ButtonsWidth() const {
  int width = 0;
  for (const Button& b : buttons_) width += Len(FaceOf(b.text)) + kButtonGap;
  return width - kButtonGap;
}

TextMessageBox::Geometry TextMessageBox::Measure(int screenWidth, int screenHeight) const {
  Geometry g;
  const int iconWidth = icon_.empty() ? 0 : Len(icon_) + 2;
  const int textRoom = std::clamp(screenWidth - 2 - 2 * kMargin - iconWidth, 10, kMaxTextWidth);
  g.lines = WrapText(text_, textRoom);
  int textWidth = 0;
  for (const auto& line : g.lines) textWidth = std::max(textWidth, Len(line));
  const int captionWidth = Len(SafeText(caption_)) + 2;
  const int inner = std::max({iconWidth + textWidth, ButtonsWidth(), captionWidth});
  g.width = inner + 2 * kMargin + 2;
  g.height = static_cast<int>(g.lines.size()) + 6;
  g.frameX = CentredStart(screenWidth, g.width);
  g.frameY = CentredStart(screenHeight, g.height);
  g.buttonsX = g.frameX + CentredStart(g.width, ButtonsWidth());
  g.buttonsY = g.frameY + g.height - 3;
  return g;
}

int TextMessageBox::FrameWidth() const {
  return Measure(lastScreenWidth_, 0).width;
}

int TextMessageBox::FrameHeight() const {
  return Measure(lastScreenWidth_, 0).height;
}

void TextMessageBox::Paint(TextCanvas& canvas, bool active, bool) {
  lastScreenWidth_ = canvas.Width();
  const Geometry g = Measure(canvas.Width(), canvas.Height());
  canvas.Fill(g.frameX, g.frameY, g.width, g.height);
  canvas.Box(g.frameX, g.frameY, g.width, g.height, active ? kAttrBold : kAttrNone);
  const std::u32string title = U" " + SafeText(caption_) + U" ";
  const int titleWidth = std::min(Len(title), g.width - 2);
  canvas.Text(g.frameX + 1 + (g.width - 2 - titleWidth) / 2, g.frameY, title,
              active ? kAttrBold : kAttrNone, titleWidth);

  int textX = g.frameX + 1 + kMargin;
  if (!icon_.empty()) {
    canvas.Text(textX, g.frameY + 2, icon_, kAttrBold);
    textX += Len(icon_) + 2;
  }
  for (size_t i = 0; i < g.lines.size(); ++i)
    canvas.Text(textX, g.frameY + 2 + static_cast<int>(i), g.lines[i]);

  int x = g.buttonsX;
  for (size_t i = 0; i < buttons_.size(); ++i) {
    const MnemonicText m = ParseMnemonic(buttons_[i].text);
    const std::u32string face = FaceOf(buttons_[i].text);
    const uint8_t attr = active && i == focus_ ? kAttrReverse : kAttrNone;
    canvas.Text(x, g.buttonsY, face, attr);
    if (m.mnemonicAt >= 0)
      canvas.Put(x + 2 + m.mnemonicAt, g.buttonsY, m.shown[m.mnemonicAt],
                 static_cast<uint8_t>(attr | kAttrUnderline));
    x += Len(face) + kButtonGap;
  }
}

void TextMessageBox::Press(size_t button) {
  answer_ = buttons_[button].answer;
  ended_ = true;
}

void TextMessageBox::HandleKey(const Key& key) {
  const size_t n = buttons_.size();
  switch (key.code) {
    case KeyCode::Tab:
    case KeyCode::Right:
    case KeyCode::Down:
      focus_ = (focus_ + 1) % n;
      return;
    case KeyCode::BackTab:
    case KeyCode::Left:
    case KeyCode::Up:
      focus_ = (focus_ + n - 1) % n;
      return;
    case KeyCode::Enter:
      Press(focus_);
      return;
    case KeyCode::Escape:
      Press(escape_);
      return;
    case KeyCode::Char:
      if (key.ch == U' ' && !key.alt) {
        Press(focus_);
        return;
      }
      for (size_t i = 0; i < n; ++i) {
        const MnemonicText m = ParseMnemonic(buttons_[i].text);
        if (m.mnemonicAt >= 0 && FoldCase(m.mnemonic) == FoldCase(key.ch)) {
          Press(i);
          return;
        }
      }
      return;
    default:
      return;
  }
}

void TextMessageBox::HandleClick(int x, int y, int screenWidth, int screenHeight) {
  const Geometry g = Measure(screenWidth, screenHeight);
  if (y != g.buttonsY) return;
  int at = g.buttonsX;
  for (size_t i = 0; i < buttons_.size(); ++i) {
    const int width = Len(FaceOf(buttons_[i].text));
    if (x >= at && x < at + width) {
      Press(i);
      return;
    }
    at += width + kButtonGap;
  }
}

void TextMessageBox::HangUp() {
  // Nobody is there to answer: "No" leaves without doing anything that was not confirmed;
  // otherwise whatever Escape would give.
  for (size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i].answer == IDNO) {
      Press(i);
      return;
    }
  }
  Press(escape_);
}

}  // namespace platform
