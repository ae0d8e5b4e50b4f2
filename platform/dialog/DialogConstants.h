#pragma once
// The constants of the dialog framework that the program's code speaks: command ids,
// message-box flags and answers, combo-box results, show commands. The radio sequences and
// the serial port use them too, for the message boxes they ask their dialog to show.

#include <cstdint>

namespace platform {

enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_TYPEMASK = 0xF,
  MB_ICONHAND = 0x10,
  MB_ICONSTOP = MB_ICONHAND,
  MB_ICONERROR = MB_ICONHAND,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONWARNING = MB_ICONEXCLAMATION,
  MB_ICONASTERISK = 0x40,
  MB_ICONINFORMATION = MB_ICONASTERISK,
  MB_ICONMASK = 0xF0,
};

enum : int { CB_ERR = -1 };

enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1 };

}  // namespace platform
