#include "platform/system/ControllingTerminal.h"

// On Windows the person at the console is asked through the console's own input and output
// (CONIN$ and CONOUT$), whatever standard input and output are.
#include <windows.h>

#include "platform/system/win32/WinText.h"

namespace platform {

namespace {

HANDLE OpenConsole(const wchar_t* name) {
  return ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

bool HaveTerminal() {
  HANDLE in = OpenConsole(L"CONIN$");
  if (in == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  const bool console = ::GetConsoleMode(in, &mode) != 0;
  ::CloseHandle(in);
  return console;
}

// A line updated in place is written with the terminal's escape sequences, which a console
// takes only with virtual terminal processing on: it is switched on here, and a console that
// refuses it counts as no terminal (no status line), as does a pipe or a file.
bool StandardErrorIsTerminal() {
  HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!::GetConsoleMode(err, &mode)) return false;
  if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
  return ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool StandardErrorSize(int* columns, int* rows) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) return false;
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  const int height = info.srWindow.Bottom - info.srWindow.Top + 1;
  if (width <= 0 || height <= 0) return false;
  *columns = width;
  *rows = height;
  return true;
}

std::optional<std::string> AskTerminal(const std::string& question,
                                       const std::function<bool()>& cancelled) {
  HANDLE in = OpenConsole(L"CONIN$");
  if (in == INVALID_HANDLE_VALUE) return std::nullopt;
  HANDLE out = OpenConsole(L"CONOUT$");
  if (out == INVALID_HANDLE_VALUE) {
    ::CloseHandle(in);
    return std::nullopt;
  }
  const std::wstring text = win32::Wide(question);
  DWORD written = 0;
  ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  std::optional<std::string> answer;
  // The console's input handle is signalled while input waits; until something is typed the
  // question can be called off.
  while (cancelled && ::WaitForSingleObject(in, 100) == WAIT_TIMEOUT) {
    if (cancelled()) {
      ::CloseHandle(out);
      ::CloseHandle(in);
      return std::nullopt;
    }
  }
  std::wstring line;
  wchar_t buf[256];
  for (;;) {
    DWORD n = 0;
    if (!::ReadConsoleW(in, buf, 256, &n, nullptr) || n == 0) break;
    line.append(buf, n);
    if (line.find(L'\n') != std::wstring::npos) break;
  }
  if (!line.empty()) {
    const size_t end = line.find_first_of(L"\r\n");
    if (end != std::wstring::npos) line.resize(end);
    answer = win32::Utf8(line.c_str());
  }
  ::CloseHandle(out);
  ::CloseHandle(in);
  return answer;
}

}  // namespace platform
