#include "platform/dialog/win32/Win32DialogWindow.h"

#include <algorithm>
#include <vector>

#include "platform/dialog/CDialog.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/win32/Win32Backend.h"

namespace platform {

namespace {

const wchar_t* Wide(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::u16string WindowText(HWND w) {
  const int length = GetWindowTextLengthW(w);
  if (length <= 0) return {};
  std::vector<wchar_t> buf(static_cast<size_t>(length) + 1);
  const int got = GetWindowTextW(w, buf.data(), length + 1);
  return std::u16string(reinterpret_cast<const char16_t*>(buf.data()),
                        static_cast<size_t>(std::max(got, 0)));
}

}  // namespace

Win32DialogWindow::Win32DialogWindow(const DialogTemplate& tpl, CDialog& owner, HWND parent,
                                     Win32Backend& backend)
    : tpl_(tpl), owner_(owner), parent_(parent), backend_(backend), blob_(tpl) {}

Win32DialogWindow::~Win32DialogWindow() {
  if (modeless_ && hwnd_) DestroyWindow(hwnd_);
}

INT_PTR CALLBACK Win32DialogWindow::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    reinterpret_cast<Win32DialogWindow*>(lParam)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->OnMessage(msg, wParam, lParam) : FALSE;
}

INT_PTR Win32DialogWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      if (onCreated_) onCreated_();
      if (endPending_ && hwnd_) ::EndDialog(hwnd_, endResult_);
      // TRUE: the system gives the focus to the first control with a tab stop.
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      // The close button and Alt+F4 are the cancel command, whether or not the template has
      // a Cancel button the dialog manager would look at first.
      owner_.DispatchCancel();
      return TRUE;
    case WM_TIMER:
      owner_.DispatchTimer(static_cast<int>(wParam));
      return TRUE;
    case WM_HELP:
      owner_.DispatchHelp();
      return TRUE;
    case WM_SETCURSOR:
      // The wait cursor stays while the mouse moves over the busy window.
      if (!backend_.Busy()) return FALSE;
      SetCursor(LoadCursorW(nullptr, IDC_WAIT));
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
      hwnd_ = nullptr;
      return FALSE;
    default:
      break;
  }
  (void)lParam;
  return FALSE;
}

void Win32DialogWindow::OnCommand(int id, int code) {
  // Enter, Escape and the dialog manager's mnemonics arrive as BN_CLICKED of the button, or of
  // IDOK and IDCANCEL where no control has those ids.
  const ControlTemplate* c = tpl_.Control(id);
  if (c && c->kind == ControlKind::ComboBox) {
    if (code == CBN_SELCHANGE) owner_.DispatchSelChange(id);
    return;
  }
  if (code == BN_CLICKED) owner_.DispatchButton(id);
}

HWND Win32DialogWindow::Control(int id) const {
  if (!hwnd_ || id == IDC_STATIC || !tpl_.Control(id)) return nullptr;
  return GetDlgItem(hwnd_, id);
}

HWND Win32DialogWindow::Combo(int id) const {
  const ControlTemplate* c = tpl_.Control(id);
  return c && c->kind == ControlKind::ComboBox ? Control(id) : nullptr;
}

void Win32DialogWindow::SetEnabled(int id, bool enabled) {
  HWND w = Control(id);
  if (!w) return;
  // A control that loses the focus by being disabled would leave the keyboard nowhere: the
  // focus moves on first, as the user's Tab would move it.
  if (!enabled && GetFocus() == w) SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
  EnableWindow(w, enabled ? TRUE : FALSE);
}

bool Win32DialogWindow::IsEnabled(int id) const {
  HWND w = Control(id);
  return w && IsWindowEnabled(w);
}

void Win32DialogWindow::SetVisible(int id, bool visible) {
  HWND w = Control(id);
  if (!w) return;
  if (!visible && GetFocus() == w) SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
  ShowWindow(w, visible ? SW_SHOWNA : SW_HIDE);
}

bool Win32DialogWindow::IsVisible(int id) const {
  // The control's own flag: a control counts as shown while its dialog is not yet on screen.
  HWND w = Control(id);
  return w && (GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32DialogWindow::SetText(int id, const std::u16string& text) {
  if (id == 0) {
    if (hwnd_) SetWindowTextW(hwnd_, Wide(text));
    return;
  }
  // A drop-down list shows its selected entry; its text cannot be set.
  if (Combo(id)) return;
  if (HWND w = Control(id)) SetWindowTextW(w, Wide(text));
}

std::u16string Win32DialogWindow::GetText(int id) const {
  if (id == 0) return hwnd_ ? WindowText(hwnd_) : std::u16string();
  if (Combo(id)) return ComboItem(id, ComboGetSel(id));
  HWND w = Control(id);
  return w ? WindowText(w) : std::u16string();
}

void Win32DialogWindow::ComboReset(int id) {
  if (HWND w = Combo(id)) SendMessageW(w, CB_RESETCONTENT, 0, 0);
}

int Win32DialogWindow::ComboAdd(int id, const std::u16string& text) {
  HWND w = Combo(id);
  if (!w) return CB_ERR;
  // CBS_SORT lists place the entry themselves; CB_ERRSPACE is a failure like CB_ERR.
  const LRESULT index = SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text)));
  return index < 0 ? CB_ERR : static_cast<int>(index);
}

int Win32DialogWindow::ComboCount(int id) const {
  HWND w = Combo(id);
  if (!w) return 0;
  const LRESULT count = SendMessageW(w, CB_GETCOUNT, 0, 0);
  return count < 0 ? 0 : static_cast<int>(count);
}

std::u16string Win32DialogWindow::ComboItem(int id, int index) const {
  HWND w = Combo(id);
  if (!w || index < 0) return {};
  const LRESULT length = SendMessageW(w, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  std::vector<wchar_t> buf(static_cast<size_t>(length) + 1);
  const LRESULT got = SendMessageW(w, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(buf.data()));
  if (got < 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buf.data()),
                        static_cast<size_t>(std::min<LRESULT>(got, length)));
}

int Win32DialogWindow::ComboGetSel(int id) const {
  HWND w = Combo(id);
  if (!w) return CB_ERR;
  const LRESULT sel = SendMessageW(w, CB_GETCURSEL, 0, 0);
  return sel < 0 ? CB_ERR : static_cast<int>(sel);
}

void Win32DialogWindow::ComboSetSel(int id, int index) {
  HWND w = Combo(id);
  if (!w) return;
  // -1 clears the selection; the message does not notify, so no handler runs.
  const int count = ComboCount(id);
  SendMessageW(w, CB_SETCURSEL, static_cast<WPARAM>(index >= 0 && index < count ? index : -1), 0);
}

void Win32DialogWindow::SetIcon(int iconResourceId) {
  if (!hwnd_) return;
  HINSTANCE module = GetModuleHandleW(nullptr);
  // Shared icons belong to the system and are never destroyed by the program.
  auto load = [&](int cx, int cy) {
    return static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(iconResourceId), IMAGE_ICON, cx, cy, LR_SHARED));
  };
  if (HICON big = load(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)))
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (HICON small = load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)))
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

void Win32DialogWindow::MoveTo(int x, int y) {
  if (hwnd_) SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32DialogWindow::RunModalCreating(const std::function<void()>& onCreated) {
  onCreated_ = onCreated;
  backend_.BeforeKeyboard();
  const INT_PTR result = DialogBoxIndirectParamW(
      GetModuleHandleW(nullptr), static_cast<LPCDLGTEMPLATEW>(blob_.Data()), parent_,
      &Win32DialogWindow::DialogProc, reinterpret_cast<LPARAM>(this));
  onCreated_ = nullptr;
  hwnd_ = nullptr;
  return static_cast<int>(result);
}

bool Win32DialogWindow::Realize() {
  if (hwnd_) return true;
  modeless_ = true;
  CreateDialogIndirectParamW(GetModuleHandleW(nullptr), static_cast<LPCDLGTEMPLATEW>(blob_.Data()),
                             parent_, &Win32DialogWindow::DialogProc,
                             reinterpret_cast<LPARAM>(this));
  return hwnd_ != nullptr;
}

int Win32DialogWindow::RunModal() {
  if (!hwnd_) return RunModalCreating([] {});
  // A window made by Realize: the same modal loop the dialog box runs, owner disabled and
  // keys through the dialog manager.
  const bool disableOwner = parent_ && IsWindowEnabled(parent_);
  if (disableOwner) EnableWindow(parent_, FALSE);
  backend_.BeforeKeyboard();
  ShowWindow(hwnd_, SW_SHOW);
  MSG msg;
  while (!ended_ && hwnd_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (disableOwner) EnableWindow(parent_, TRUE);
  const int result = ended_ ? endResult_ : IDCANCEL;
  ended_ = false;
  return result;
}

void Win32DialogWindow::EndModal(int result) {
  endResult_ = result;
  if (!hwnd_) {
    endPending_ = true;
    return;
  }
  if (!modeless_) {
    ::EndDialog(hwnd_, result);
    return;
  }
  ended_ = true;
  ShowWindow(hwnd_, SW_HIDE);
  PostMessageW(hwnd_, WM_NULL, 0, 0);  // wakes the loop
}

void Win32DialogWindow::SetTimer(int timerId, unsigned periodMs) {
  // The shortest period is the controller's ten milliseconds; setting a timer again restarts
  // it with the new period.
  if (hwnd_) ::SetTimer(hwnd_, static_cast<UINT_PTR>(timerId), std::max(periodMs, 10u), nullptr);
}

void Win32DialogWindow::KillTimer(int timerId) {
  if (hwnd_) ::KillTimer(hwnd_, static_cast<UINT_PTR>(timerId));
}

}  // namespace platform
