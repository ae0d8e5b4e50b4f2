#include "platform/dialog/win32/Win32Backend.h"

#include <shellapi.h>

#include "platform/dialog/DialogConstants.h"
#include "platform/dialog/win32/Win32DialogWindow.h"
#include "platform/system/CodePage.h"

namespace platform {

namespace {

HWND HandleOf(DialogWindow* window) {
  auto* w = dynamic_cast<Win32DialogWindow*>(window);
  return w ? w->Handle() : nullptr;
}

const wchar_t* Wide(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}

bool IsDialogBox(HWND w) {
  wchar_t name[16] = {};
  return GetClassNameW(w, name, 16) > 0 && lstrcmpW(name, L"#32770") == 0;
}

// Removes the queued messages of one range that are older than a time (all of them when
// olderThanAll is set). Queued input is in time order, so the first newer one ends it.
void DropQueued(UINT first, UINT last, bool all, DWORD endedAt) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, first, last, PM_NOREMOVE)) {
    if (!all && static_cast<LONG>(msg.time - endedAt) > 0) return;
    PeekMessageW(&msg, nullptr, first, last, PM_REMOVE);
  }
}

}  // namespace

Win32Backend::~Win32Backend() {
  while (waitCursorDepth_ > 0) EndWaitCursor();
}

std::unique_ptr<DialogWindow> Win32Backend::CreateDialogWindow(const DialogTemplate& tpl,
                                                               CDialog& owner,
                                                               DialogWindow* parent) {
  return std::make_unique<Win32DialogWindow>(tpl, owner, HandleOf(parent), *this);
}

int Win32Backend::MessageBox(DialogWindow* owner, const std::u16string& text,
                             const std::u16string& caption, unsigned type) {
  BeforeKeyboard();
  HWND hwnd = HandleOf(owner);
  // A box owned by nobody still holds up every window of the program, as an owned one holds
  // up its owner.
  if (!hwnd) type |= MB_TASKMODAL;
  return MessageBoxW(hwnd, Wide(text), Wide(caption), type);
}

void Win32Backend::MessageBeep(unsigned type) {
  ::MessageBeep(type);
}

void Win32Backend::BeginWaitCursor() {
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  if (waitCursorDepth_++ == 0) cursorBefore_ = previous;
  busySeen_ = true;
}

void Win32Backend::EndWaitCursor() {
  // Never more ends than begins: a cursor someone else set stays.
  if (waitCursorDepth_ == 0) return;
  if (--waitCursorDepth_ > 0) return;
  busyEndedAt_ = GetTickCount();
  SetCursor(cursorBefore_ ? cursorBefore_ : LoadCursorW(nullptr, IDC_ARROW));
}

void Win32Backend::BeforeKeyboard() {
  if (!busySeen_) return;
  const bool all = Busy();
  DropQueued(WM_KEYFIRST, WM_KEYLAST, all, busyEndedAt_);
  DropQueued(WM_MOUSEFIRST, WM_MOUSELAST, all, busyEndedAt_);
  DropQueued(WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, all, busyEndedAt_);
  busySeen_ = all;
}

bool Win32Backend::PumpOneMessage() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    // Left for the modal loop that owns the program's end.
    PostQuitMessage(static_cast<int>(msg.wParam));
    return true;
  }
  // Keys go through the dialog manager of the dialog they were typed into, as its own modal
  // loop would take them: Escape, Enter, Tab and the mnemonics work while a procedure polls.
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root && IsDialogBox(root) && IsDialogMessageW(root, &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

bool Win32Backend::ShellOpen(DialogWindow* owner, const std::string& path) {
  const std::u16string file = Utf8ToWide(path);
  // A file that is not there is refused here, without the shell's own error box.
  const DWORD attributes = GetFileAttributesW(Wide(file));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;  // the structure's real size on this system, not the controller's
  // Without the flag the shell shows its own box when no viewer is registered for the type;
  // a request that fails shows nothing.
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.hwnd = HandleOf(owner);
  info.lpVerb = nullptr;  // the default action for the file's type
  info.lpFile = Wide(file);
  info.lpParameters = nullptr;
  info.lpDirectory = nullptr;
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}

}  // namespace platform
