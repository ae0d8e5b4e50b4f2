#include "platform/system/StopSignals.h"

// On Windows the stop requests are the console's control events (SetConsoleCtrlHandler) and
// a fleet parent's named events; see StopRequests.h. The handler runs on the thread that
// brought the request, one request at a time.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/system/win32/StopRequests.h"

namespace platform {

namespace {

// A stand-in descriptor for OpenSignalFd: the queue below is the only one.
constexpr int kQueueFd = 0x51;
// How long closing the console may be held for the work under way (the system allows about
// five seconds and then ends the process).
constexpr DWORD kCloseHoldMs = 10000;

std::atomic<int> firstSignal{0};

struct Requests {
  std::mutex lock;
  std::function<void(int, int)> handler;  // set by Start
  bool queued = false;                    // set by OpenSignalFd
  std::deque<int> waiting;                // before anyone listened, or for ReadSignal
  int count = 0;
  bool parentCounted = false;
};

Requests& State() {
  static Requests* state = new Requests;  // outlives main: handlers may still run
  return *state;
}

BOOL WINAPI OnConsole(DWORD type) {
  int signal = 0;
  switch (type) {
    case CTRL_C_EVENT:
      signal = win32::kSigInt;
      break;
    case CTRL_BREAK_EVENT:
      signal = win32::kSigTerm;
      break;
    default:
      signal = win32::kSigHup;
  }
  win32::DeliverStop(signal, false);
  // Closing the console, logging off or shutting down ends the process once this returns:
  // hold it so that the work under way can end first, as far as the system allows.
  if (signal == win32::kSigHup) ::Sleep(kCloseHoldMs);
  return TRUE;
}

// Waits on this process's named stop events, which a fleet parent made before it let the
// process run; a process nobody made them for has none and needs no watcher.
void WatchStopEvents() {
  HANDLE events[3];
  int signals[3];
  DWORD n = 0;
  for (int s : win32::kPassedSignals) {
    HANDLE e = ::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE,
                            win32::StopEventName(::GetCurrentProcessId(), s).c_str());
    if (e) events[n] = e, signals[n++] = s;
  }
  if (n == 0) return;
  std::thread([=] {
    for (;;) {
      DWORD r = ::WaitForMultipleObjects(n, events, FALSE, INFINITE);
      if (r >= WAIT_OBJECT_0 + n) return;
      win32::DeliverStop(signals[r - WAIT_OBJECT_0], false);
    }
  }).detach();
}

bool Listen() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    ok = ::SetConsoleCtrlHandler(OnConsole, TRUE) != 0;
    WatchStopEvents();
  });
  return ok;
}

}  // namespace

namespace win32 {

std::wstring StopEventName(unsigned long pid, int signal) {
  wchar_t name[64];
  std::swprintf(name, 64, L"Local\\qelm-cli-stop-%lu-%d", pid, signal);
  return name;
}

void DeliverStop(int signal, bool fromParent) {
  Requests& r = State();
  std::unique_lock<std::mutex> hold(r.lock);
  if (fromParent) {
    if (r.parentCounted || r.count > 0) return;
    r.parentCounted = true;
  }
  if (!r.handler || r.queued) {
    r.waiting.push_back(signal);
    return;
  }
  int expected = 0;
  firstSignal.compare_exchange_strong(expected, signal);
  const int count = ++r.count;
  auto handler = r.handler;
  handler(signal, count);
}

bool StopWaiting() {
  Requests& r = State();
  std::lock_guard<std::mutex> hold(r.lock);
  return r.queued && !r.waiting.empty();
}

}  // namespace win32

bool StopSignals::Start(std::function<void(int, int)> handler) {
  Requests& r = State();
  std::deque<int> early;
  {
    std::lock_guard<std::mutex> hold(r.lock);
    r.handler = std::move(handler);
    early.swap(r.waiting);
  }
  for (int signal : early) win32::DeliverStop(signal, false);
  return Listen();
}

int StopSignals::OpenSignalFd() {
  {
    std::lock_guard<std::mutex> hold(State().lock);
    State().queued = true;
  }
  return Listen() ? kQueueFd : -1;
}

int StopSignals::ReadSignal(int fd, int* count) {
  if (fd != kQueueFd) return 0;
  Requests& r = State();
  std::lock_guard<std::mutex> hold(r.lock);
  if (r.waiting.empty()) return 0;
  const int signal = r.waiting.front();
  r.waiting.pop_front();
  int expected = 0;
  firstSignal.compare_exchange_strong(expected, signal);
  *count = ++r.count;
  return signal;
}

void StopSignals::CloseSignalFd(int fd) {
  (void)fd;
}

int StopSignals::First() {
  return firstSignal.load();
}

void StopSignals::ExitNow(int status) {
  std::fflush(nullptr);
  ::ExitProcess(static_cast<UINT>(status));
}

bool DieWithParent() {
  Listen();
  DWORD parent = 0;
  const DWORD self = ::GetCurrentProcessId();
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry))
      if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
    ::CloseHandle(snapshot);
  }
  HANDLE process = parent ? ::OpenProcess(SYNCHRONIZE, FALSE, parent) : nullptr;
  if (!process) {
    // The parent has gone already.
    win32::DeliverStop(win32::kSigTerm, true);
    return false;
  }
  std::thread([process] {
    ::WaitForSingleObject(process, INFINITE);
    ::CloseHandle(process);
    win32::DeliverStop(win32::kSigTerm, true);
  }).detach();
  return true;
}

}  // namespace platform
