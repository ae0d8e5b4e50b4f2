#include "platform/dialog/win32/DialogTemplateBlob.h"

#include "platform/dialog/win32/WindowsHeader.h"

namespace platform {

namespace {

// The predefined window classes, as atoms in a DLGITEMTEMPLATE.
constexpr uint16_t kButtonClass = 0x0080;
constexpr uint16_t kStaticClass = 0x0082;
constexpr uint16_t kComboBoxClass = 0x0085;

constexpr char16_t kDialogFont[] = u"MS Shell Dlg";

uint16_t ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
      return kStaticClass;
    case ControlKind::ComboBox:
      return kComboBoxClass;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::GroupBox:
      break;
  }
  return kButtonClass;
}

}  // namespace

uint32_t DialogTemplateBlob::DialogStyle(const DialogTemplate& tpl) {
  // DS_CENTER: the secondary dialogs open over the middle of the screen; the main dialog
  // places itself.
  uint32_t style = WS_POPUP | WS_VISIBLE | DS_SETFONT | DS_CENTER;
  if (tpl.modalFrame) style |= DS_MODALFRAME;
  if (tpl.hasCaption) style |= WS_CAPTION;
  if (tpl.sysMenu) style |= WS_SYSMENU;
  return style;
}

uint32_t DialogTemplateBlob::ControlStyle(const ControlTemplate& c) {
  uint32_t style = WS_CHILD;
  if (c.visible) style |= WS_VISIBLE;
  if (c.disabled) style |= WS_DISABLED;
  if (c.tabStop) style |= WS_TABSTOP;
  switch (c.kind) {
    case ControlKind::PushButton:
      style |= BS_PUSHBUTTON;
      break;
    case ControlKind::DefPushButton:
      style |= BS_DEFPUSHBUTTON;
      break;
    case ControlKind::GroupBox:
      style |= BS_GROUPBOX;
      break;
    case ControlKind::Label:
      // The resource compiler gives static texts WS_GROUP: a label starts a new group, so
      // that its mnemonic moves the focus to the control after it.
      style |= WS_GROUP;
      style |= c.align == TextAlign::Center  ? SS_CENTER
               : c.align == TextAlign::Right ? SS_RIGHT
                                             : SS_LEFT;
      break;
    case ControlKind::ComboBox:
      style |= CBS_DROPDOWNLIST;
      if (c.vscroll) style |= WS_VSCROLL;
      if (c.sorted) style |= CBS_SORT;
      break;
  }
  return style;
}

DialogTemplateBlob::DialogTemplateBlob(const DialogTemplate& tpl) {
  // DLGTEMPLATE
  Dword(DialogStyle(tpl));
  Dword(0);  // extended style
  Word(static_cast<uint16_t>(tpl.controls.size()));
  Word(static_cast<uint16_t>(tpl.x));
  Word(static_cast<uint16_t>(tpl.y));
  Word(static_cast<uint16_t>(tpl.cx));
  Word(static_cast<uint16_t>(tpl.cy));
  Word(0);  // no menu
  Word(0);  // the system's dialog class
  Text(tpl.caption);
  Word(static_cast<uint16_t>(tpl.pointSize));
  Text(kDialogFont);

  for (const ControlTemplate& c : tpl.controls) {
    AlignToDword();
    // DLGITEMTEMPLATE
    Dword(ControlStyle(c));
    Dword(0);  // extended style
    Word(static_cast<uint16_t>(c.x));
    Word(static_cast<uint16_t>(c.y));
    Word(static_cast<uint16_t>(c.cx));
    Word(static_cast<uint16_t>(c.cy));
    Word(static_cast<uint16_t>(c.id));
    Word(0xFFFF);
    Word(ClassOf(c.kind));
    Text(c.kind == ControlKind::ComboBox ? std::u16string() : c.text);
    Word(0);  // no creation data
  }
}

void DialogTemplateBlob::Dword(uint32_t d) {
  // Little-endian, as the system reads it.
  Word(static_cast<uint16_t>(d & 0xFFFF));
  Word(static_cast<uint16_t>(d >> 16));
}

void DialogTemplateBlob::Text(const std::u16string& s) {
  for (char16_t c : s) Word(static_cast<uint16_t>(c));
  Word(0);
}

void DialogTemplateBlob::AlignToDword() {
  // The vector's storage comes from operator new, aligned far beyond a DWORD; an odd word
  // count leaves the next item two bytes short of a DWORD boundary.
  if (words_.size() % 2) Word(0);
}

}  // namespace platform
