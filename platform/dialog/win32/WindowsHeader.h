#pragma once
// The system's header for the Win32 backend, in its wide-character form, with the macros
// taken away that would rename the dialog framework's own names: the A/W text calls
// (MessageBox, SetWindowText, ...) that are members of CDialog and DialogBackend, and the
// constants (IDOK, MB_*, CB_ERR, SW_*) that DialogConstants.h declares with the system's
// very values. Every file of this folder includes it before anything of the framework.

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef MessageBox
#undef SetWindowText
#undef GetWindowText
#undef SetDlgItemText
#undef GetDlgItemText

#undef IDOK
#undef IDCANCEL
#undef IDABORT
#undef IDRETRY
#undef IDIGNORE
#undef IDYES
#undef IDNO
#undef MB_OK
#undef MB_OKCANCEL
#undef MB_YESNOCANCEL
#undef MB_YESNO
#undef MB_TYPEMASK
#undef MB_ICONHAND
#undef MB_ICONSTOP
#undef MB_ICONERROR
#undef MB_ICONQUESTION
#undef MB_ICONEXCLAMATION
#undef MB_ICONWARNING
#undef MB_ICONASTERISK
#undef MB_ICONINFORMATION
#undef MB_ICONMASK
#undef CB_ERR
#undef SW_HIDE
#undef SW_SHOWNORMAL
