#pragma once
// A dialog template of the resource script turned into the system's in-memory form, the
// DLGTEMPLATE with its DLGITEMTEMPLATE items that DialogBoxIndirectParamW and
// CreateDialogIndirectParamW take: positions and sizes in dialog units exactly as the
// template gives them, the controls in template order (which is the tab order), each with the
// system's window class and the styles its statement implies (visible, disabled, tab stop,
// sorted list, scroll bar, alignment).
//
// The font is the system's dialog font ("MS Shell Dlg", the face Windows maps to its own
// dialog font) at the template's point size: the controller's bitmap font is not on the
// desktop, and dialog units are measured on whatever font the dialog gets, so the layout
// keeps its proportions.
//
// The blob is plain data: building it cannot fail. Ids are 16 bits in this form; IDC_STATIC
// (-1) becomes 0xFFFF as the resource compiler writes it.

#include <cstdint>
#include <vector>

#include "platform/dialog/DialogTemplate.h"

namespace platform {

class DialogTemplateBlob {
 public:
  explicit DialogTemplateBlob(const DialogTemplate& tpl);

  // The template, aligned for the system (it reads DWORDs).
  const void* Data() const { return words_.data(); }
  std::size_t Size() const { return words_.size() * sizeof(uint16_t); }

  // The styles given to the dialog and to a control (WS_*, DS_*, BS_*, SS_*, CBS_*).
  static uint32_t DialogStyle(const DialogTemplate& tpl);
  static uint32_t ControlStyle(const ControlTemplate& c);

 private:
  void Word(uint16_t w) { words_.push_back(w); }
  void Dword(uint32_t d);
  void Text(const std::u16string& s);  // zero-terminated
  void AlignToDword();

  std::vector<uint16_t> words_;
};

}  // namespace platform
