#include "platform/dialog/text/TextDialogPainter.h"

#include <algorithm>

#include "platform/system/SafeText.h"

namespace platform {

namespace {

constexpr char32_t kBusyMark[] = U"[busy]";
constexpr char32_t kCloseBox[] = U"[x]";
constexpr int kCloseBoxWidth = 3;

int Len(const std::u32string& s) {
  return static_cast<int>(s.size());
}

// A text with its "&" markers taken out, for labels that wrap.
std::u16string WithoutMarkers(const std::u16string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

int Aligned(TextAlign align, int x, int w, int len) {
  switch (align) {
    case TextAlign::Center:
      return x + std::max(0, (w - len) / 2);
    case TextAlign::Right:
      return x + std::max(0, w - len);
    case TextAlign::Left:
      break;
  }
  return x;
}

// A disabled button on a terminal without a dim attribute: dashes take the place of the
// angle brackets, "- Save -", so that it cannot be taken for one that works.
std::u32string Struck(std::u32string face, const std::u32string& shown) {
  if (face.size() > shown.size()) {
    face.front() = U'-';
    face.back() = U'-';
  }
  return face;
}

}  // namespace

TextDialogPainter::TextDialogPainter(TextDialogModel& model, const DialogCells& cells)
    : model_(model), cells_(cells) {}

int TextDialogPainter::FrameX(int screenWidth) const {
  return CentredStart(screenWidth, cells_.FrameWidth());
}

int TextDialogPainter::FrameY(int screenHeight) const {
  return CentredStart(screenHeight, cells_.FrameHeight());
}

CellRect TextDialogPainter::ScreenRect(int index, int screenWidth, int screenHeight) const {
  CellRect r = cells_.controls[index].rect;
  r.x += FrameX(screenWidth) + 1;
  r.y += FrameY(screenHeight) + 1;
  return r;
}

void TextDialogPainter::Paint(TextCanvas& canvas, bool active, bool busy) {
  const int fx = FrameX(canvas.Width());
  const int fy = FrameY(canvas.Height());
  canvas.Fill(fx, fy, cells_.FrameWidth(), cells_.FrameHeight());
  canvas.Box(fx, fy, cells_.FrameWidth(), cells_.FrameHeight(), active ? kAttrBold : kAttrNone);
  PaintTitle(canvas, fx, fy, active, busy);

  const int focus = active ? model_.FocusIndex() : -1;
  const auto& controls = model_.Controls();
  // Group boxes lie under the controls they frame.
  for (size_t i = 0; i < controls.size(); ++i)
    if (controls[i].visible && controls[i].tpl->kind == ControlKind::GroupBox)
      PaintGroup(canvas, static_cast<int>(i), fx, fy);
  for (size_t i = 0; i < controls.size(); ++i) {
    if (!controls[i].visible) continue;
    const int index = static_cast<int>(i);
    switch (controls[i].tpl->kind) {
      case ControlKind::Label:
        PaintLabel(canvas, index, fx, fy);
        break;
      case ControlKind::PushButton:
      case ControlKind::DefPushButton:
        PaintButton(canvas, index, fx, fy, index == focus);
        break;
      case ControlKind::ComboBox:
        PaintCombo(canvas, index, fx, fy, index == focus);
        break;
      case ControlKind::GroupBox:
        break;
    }
  }
  if (active) PaintList(canvas);
}

void TextDialogPainter::PaintTitle(TextCanvas& canvas, int fx, int fy, bool active, bool busy) {
  int left = fx + 1;
  int right = fx + cells_.FrameWidth() - 1;
  if (busy) {
    canvas.Text(left, fy, kBusyMark, kAttrReverse);
    left += Len(kBusyMark) + 1;
  }
  if (model_.Template().sysMenu) {
    right -= kCloseBoxWidth + 1;
    canvas.Text(right + 1, fy, kCloseBox, kAttrNone);
  }
  const std::u32string title = U" " + SafeText(model_.Caption()) + U" ";
  const int room = std::max(0, right - left);
  const int len = std::min(room, Len(title));
  canvas.Text(left + (room - len) / 2, fy, title, active ? kAttrBold : kAttrNone, len);
}

void TextDialogPainter::PaintLabel(TextCanvas& canvas, int index, int fx, int fy) {
  const auto& c = model_.Controls()[index];
  const ControlCells& cc = cells_.controls[index];
  const CellRect& r = cc.rect;
  const uint8_t attr = c.enabled ? kAttrNone : kAttrDim;
  const int ox = fx + 1, oy = fy + 1;
  if (r.h > 1 || cc.roomRight <= cc.roomLeft) {
    const auto lines = WrapText(WithoutMarkers(c.text), r.w);
    for (int row = 0; row < r.h && row < static_cast<int>(lines.size()); ++row)
      canvas.Text(ox + Aligned(c.tpl->align, r.x, r.w, Len(lines[row])), oy + r.y + row, lines[row],
                  attr, r.w);
    return;
  }
  const MnemonicText m = ParseMnemonic(c.text);
  const int len = Len(m.shown);
  int start = Aligned(c.tpl->align, r.x, r.w, len);
  // Too long for its rectangle: use the free cells beside it, to the right first.
  if (len > r.w && start + len > cc.roomRight) start = std::max(cc.roomLeft, cc.roomRight - len);
  const int width = std::min(len, cc.roomRight - start);
  canvas.Text(ox + start, oy + r.y, m.shown, attr, width);
  if (c.enabled && m.mnemonicAt >= 0 && m.mnemonicAt < width)
    canvas.Put(ox + start + m.mnemonicAt, oy + r.y, m.shown[m.mnemonicAt], kAttrUnderline);
}

void TextDialogPainter::PaintButton(TextCanvas& canvas, int index, int fx, int fy, bool focused) {
  const auto& c = model_.Controls()[index];
  const CellRect& r = cells_.controls[index].rect;
  const MnemonicText m = ParseMnemonic(c.text);
  std::u32string face = m.shown;
  int mark = m.mnemonicAt;
  if (Len(m.shown) + 4 <= r.w) {
    face = U"< " + m.shown + U" >";
    mark += mark >= 0 ? 2 : 0;
  } else if (Len(m.shown) + 2 <= r.w) {
    face = U"<" + m.shown + U">";
    mark += mark >= 0 ? 1 : 0;
  }
  const int width = std::min(Len(face), r.w);
  const int x = fx + 1 + r.x + (r.w - width) / 2;
  const int y = fy + 1 + r.y;
  uint8_t attr = kAttrNone;
  if (!c.enabled) attr = kAttrDim;
  if (!c.enabled && !canvas.ShowsDim()) face = Struck(face, m.shown);
  if (focused) attr = kAttrReverse;
  if (c.enabled && c.tpl->kind == ControlKind::DefPushButton) attr |= kAttrBold;
  canvas.Text(x, y, face, attr, width);
  if (c.enabled && mark >= 0 && mark < width)
    canvas.Put(x + mark, y, face[mark], static_cast<uint8_t>(attr | kAttrUnderline));
}

void TextDialogPainter::PaintCombo(TextCanvas& canvas, int index, int fx, int fy, bool focused) {
  const auto& c = model_.Controls()[index];
  const CellRect& r = cells_.controls[index].rect;
  std::u32string shown;
  if (c.sel >= 0 && c.sel < static_cast<int>(c.items.size())) shown = SafeText(c.items[c.sel]);
  const size_t shownLength = std::min<size_t>(shown.size(), std::max(0, r.w - 3));
  std::u32string face;
  if (r.w >= 4) {
    shown.resize(r.w - 3, U' ');
    face = U"[" + shown + U"v]";
    // Without a dim attribute a disabled list fills its blank room and its arrow with dashes.
    if (!c.enabled && !canvas.ShowsDim())
      for (size_t i = 1 + shownLength; i + 1 < face.size(); ++i) face[i] = U'-';
  } else {
    shown.resize(r.w, U' ');
    face = shown;
  }
  uint8_t attr = c.enabled ? kAttrNone : kAttrDim;
  if (focused) attr = kAttrReverse;
  canvas.Text(fx + 1 + r.x, fy + 1 + r.y, face, attr, r.w);
}

void TextDialogPainter::PaintGroup(TextCanvas& canvas, int index, int fx, int fy) {
  const auto& c = model_.Controls()[index];
  const CellRect& r = cells_.controls[index].rect;
  const uint8_t attr = c.enabled ? kAttrNone : kAttrDim;
  canvas.Box(fx + 1 + r.x, fy + 1 + r.y, r.w, r.h, attr);
  const MnemonicText m = ParseMnemonic(c.text);
  if (!m.shown.empty())
    canvas.Text(fx + 2 + r.x, fy + 1 + r.y, U" " + m.shown + U" ", attr, r.w - 2);
}

CellRect TextDialogPainter::ListBox(int screenWidth, int screenHeight) {
  const int index = model_.OpenList();
  if (index < 0) return {};
  const auto& c = model_.Controls()[index];
  const CellRect combo = ScreenRect(index, screenWidth, screenHeight);
  int widest = 0;
  for (const auto& item : c.items) widest = std::max(widest, Len(SafeText(item)));
  CellRect box;
  box.w = std::min(std::max(combo.w, widest + 2), screenWidth);
  box.h = std::min(static_cast<int>(c.items.size()), cells_.controls[index].listRows) + 2;
  box.x = std::clamp(combo.x, 0, std::max(0, screenWidth - box.w));
  box.y = combo.y + 1;
  // Below the box if it fits, else above it, else as low as the screen allows.
  if (box.y + box.h > screenHeight)
    box.y = combo.y - box.h >= 0 ? combo.y - box.h : std::max(0, screenHeight - box.h);
  return box;
}

void TextDialogPainter::PaintList(TextCanvas& canvas) {
  const int index = model_.OpenList();
  if (index < 0) return;
  const CellRect box = ListBox(canvas.Width(), canvas.Height());
  const auto& c = model_.Controls()[index];
  const int rows = box.h - 2;
  canvas.Fill(box.x, box.y, box.w, box.h);
  canvas.Box(box.x, box.y, box.w, box.h, kAttrBold);
  for (int row = 0; row < rows; ++row) {
    const int entry = model_.ListTop() + row;
    if (entry >= static_cast<int>(c.items.size())) break;
    std::u32string text = SafeText(c.items[entry]);
    text.resize(std::max(0, box.w - 2), U' ');
    canvas.Text(box.x + 1, box.y + 1 + row, text,
                entry == model_.ListHot() ? kAttrReverse : kAttrNone, box.w - 2);
  }
  if (model_.ListTop() > 0) canvas.Put(box.x + box.w - 1, box.y + 1, U'^', kAttrBold);
  if (model_.ListTop() + rows < static_cast<int>(c.items.size()))
    canvas.Put(box.x + box.w - 1, box.y + box.h - 2, U'v', kAttrBold);
}

TextDialogPainter::Hit TextDialogPainter::HitTest(int x, int y, int screenWidth, int screenHeight) {
  if (model_.OpenList() >= 0) {
    const CellRect box = ListBox(screenWidth, screenHeight);
    const CellRect inner{box.x + 1, box.y + 1, box.w - 2, box.h - 2};
    if (inner.Contains(x, y)) return {Hit::Kind::ListEntry, model_.ListTop() + (y - inner.y)};
    if (box.Contains(x, y)) return {};
    return {Hit::Kind::OutsideList, -1};
  }
  const int fx = FrameX(screenWidth), fy = FrameY(screenHeight);
  const int closeX = fx + cells_.FrameWidth() - 1 - kCloseBoxWidth;
  if (model_.Template().sysMenu && y == fy && x >= closeX && x < closeX + kCloseBoxWidth)
    return {Hit::Kind::CloseBox, -1};
  const auto& controls = model_.Controls();
  for (int i = static_cast<int>(controls.size()) - 1; i >= 0; --i) {
    const ControlKind kind = controls[i].tpl->kind;
    if (!controls[i].visible || kind == ControlKind::Label || kind == ControlKind::GroupBox)
      continue;
    if (ScreenRect(i, screenWidth, screenHeight).Contains(x, y)) return {Hit::Kind::Control, i};
  }
  return {};
}

}  // namespace platform
