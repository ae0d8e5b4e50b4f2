#pragma once
// Dialog templates as the resource script describes them: the dialog's caption, size in dialog
// units, font and style, and its controls in template order (which is also the tab order), each
// with id, kind, text, position, size and style. Templates are parsed from the program's
// resource script (resources/QELMConfig.rc), which is carried inside the executable.
//
// A template that is missing or cannot be parsed is reported as nullptr by FindDialogTemplate;
// ParseResourceScript reports the first line it could not read.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class ControlKind { PushButton, DefPushButton, Label, GroupBox, ComboBox };
enum class TextAlign { Left, Center, Right };

constexpr int IDC_STATIC = -1;

struct ControlTemplate {
  int id = IDC_STATIC;
  ControlKind kind = ControlKind::Label;
  std::u16string text;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  bool visible = true;
  bool disabled = false;
  bool tabStop = false;
  bool vscroll = false;
  bool sorted = false;
  TextAlign align = TextAlign::Left;
};

struct DialogTemplate {
  int id = 0;
  std::u16string caption;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  int pointSize = 8;
  std::u16string font = u"MS Sans Serif";
  bool hasCaption = true;
  bool sysMenu = false;  // the title bar's close button
  bool modalFrame = true;
  std::vector<ControlTemplate> controls;

  const ControlTemplate* Control(int controlId) const;
};

struct ResourceScript {
  std::vector<DialogTemplate> dialogs;
  // Icons: resource id and the file name the script gives for it.
  std::vector<std::pair<int, std::string>> icons;
  std::string error;  // empty when the whole script was read
};

// Reads the subset of the resource-script language the program's templates use: #define of
// ids, DIALOG / DIALOGEX with STYLE, CAPTION, FONT and a BEGIN/END block of PUSHBUTTON,
// DEFPUSHBUTTON, LTEXT, CTEXT, RTEXT, GROUPBOX and COMBOBOX statements, and ICON lines.
ResourceScript ParseResourceScript(const std::string& text);

// The template of the given id from the program's own resource script, or nullptr.
const DialogTemplate* FindDialogTemplate(int templateId);

// The program's own resource script text and the files it names (embedded at build time).
const std::string& EmbeddedResourceScript();
const std::string* EmbeddedResourceFile(const std::string& name);

}  // namespace platform

namespace platform {
// The file the resource script names for an icon id ("qelm.xpm"), and its contents, or nullptr.
const std::string* FindIconResource(int iconId);
}  // namespace platform
