#include "platform/system/ProcessGroup.h"

// On Windows each child is made with CreateProcessW, detached from the console (so a Ctrl+C
// there reaches the parent only) and without a job object: a child whose parent has gone
// finishes what it is doing (its DieWithParent sees the parent end). Its output comes through
// two pipes that one thread each reads line by line; Next collects what they found. A signal
// is passed on through the child's named stop events (StopRequests.h), made before the child
// runs so that none is lost; SIGKILL ends it outright.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>

#include "platform/system/win32/StopRequests.h"
#include "platform/system/win32/WinText.h"

namespace platform {

namespace {

// How often Next looks at the children and the stop requests while nothing has come.
constexpr int kSliceMs = 20;

// One argument as CommandLineToArgvW (and the C runtime) reads it back.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out.push_back(c);
  }
  out.append(slashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

}  // namespace

struct ProcessGroup::Child {
  HANDLE process = nullptr;
  DWORD pid = 0;
  HANDLE pipe[2] = {nullptr, nullptr};  // read ends: standard output, standard error
  HANDLE stop[3] = {nullptr, nullptr, nullptr};
  std::thread reader[2];
  // Filled by the readers under the group's lock.
  std::deque<std::string> lines[2];
  std::string partial[2];
  bool closed[2] = {false, false};
  bool ended = false;
  int status = 0;
};

ProcessGroup::~ProcessGroup() {
  for (Child* c : children_) {
    if (!c->ended && c->process) {
      ::TerminateProcess(c->process, 128 + win32::kSigKill);
      ::WaitForSingleObject(c->process, INFINITE);
    }
    for (std::thread& t : c->reader)
      if (t.joinable()) t.join();
    for (HANDLE h : c->pipe)
      if (h) ::CloseHandle(h);
    for (HANDLE h : c->stop)
      if (h) ::CloseHandle(h);
    if (c->process) ::CloseHandle(c->process);
    delete c;
  }
}

int ProcessGroup::Start(const std::vector<std::string>& args) {
  if (args.empty()) return -1;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read[2] = {nullptr, nullptr}, write[2] = {nullptr, nullptr};
  for (int i = 0; i < 2; ++i) {
    if (!::CreatePipe(&read[i], &write[i], &inherit, 0)) {
      for (HANDLE h : {read[0], write[0], read[1], write[1]})
        if (h) ::CloseHandle(h);
      return -1;
    }
    ::SetHandleInformation(read[i], HANDLE_FLAG_INHERIT, 0);
  }
  HANDLE null = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);
  std::wstring line;
  for (const std::string& a : args) line += (line.empty() ? L"" : L" ") + Quoted(win32::Wide(a));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = null;
  si.hStdOutput = write[0];
  si.hStdError = write[1];
  PROCESS_INFORMATION pi{};
  const BOOL made =
      ::CreateProcessW(win32::Wide(args[0]).c_str(), line.data(), nullptr, nullptr, TRUE,
                       DETACHED_PROCESS | CREATE_SUSPENDED, nullptr, nullptr, &si, &pi);
  for (HANDLE h : {write[0], write[1], null})
    if (h && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  if (!made) {
    ::CloseHandle(read[0]);
    ::CloseHandle(read[1]);
    return -1;
  }
  auto* c = new Child;
  c->process = pi.hProcess;
  c->pid = pi.dwProcessId;
  for (int i = 0; i < 3; ++i)
    c->stop[i] = ::CreateEventW(nullptr, FALSE, FALSE,
                                win32::StopEventName(c->pid, win32::kPassedSignals[i]).c_str());
  ::ResumeThread(pi.hThread);
  ::CloseHandle(pi.hThread);
  for (int i = 0; i < 2; ++i) {
    c->pipe[i] = read[i];
    c->reader[i] = std::thread([this, c, i] {
      char buf[4096];
      DWORD n = 0;
      while (::ReadFile(c->pipe[i], buf, sizeof buf, &n, nullptr) && n > 0) {
        std::lock_guard<std::mutex> hold(lock_);
        c->partial[i].append(buf, n);
        size_t end;
        while ((end = c->partial[i].find('\n')) != std::string::npos) {
          std::string text = c->partial[i].substr(0, end);
          if (!text.empty() && text.back() == '\r') text.pop_back();
          c->lines[i].push_back(std::move(text));
          c->partial[i].erase(0, end + 1);
        }
      }
      std::lock_guard<std::mutex> hold(lock_);
      if (!c->partial[i].empty()) c->lines[i].push_back(std::move(c->partial[i]));
      c->partial[i].clear();
      c->closed[i] = true;
    });
  }
  std::lock_guard<std::mutex> hold(lock_);
  children_.push_back(c);
  ++running_;
  return static_cast<int>(children_.size()) - 1;
}

void ProcessGroup::ReadPipe(Child& c, int which) {
  const int index =
      static_cast<int>(std::find(children_.begin(), children_.end(), &c) - children_.begin());
  while (!c.lines[which].empty()) {
    Event e;
    e.kind = which == 0 ? Event::kOutLine : Event::kErrLine;
    e.child = index;
    e.line = std::move(c.lines[which].front());
    c.lines[which].pop_front();
    pending_.push_back(std::move(e));
  }
}

bool ProcessGroup::Next(Event* event, int wakeFd, int idleMs) {
  const auto idleAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(idleMs);
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (pending_.empty()) {
        for (Child* c : children_) {
          ReadPipe(*c, 0);
          ReadPipe(*c, 1);
          // A child is reported ended once it has ended and everything it wrote was given.
          if (!c->ended && c->closed[0] && c->closed[1] &&
              ::WaitForSingleObject(c->process, 0) == WAIT_OBJECT_0) {
            DWORD code = 1;
            ::GetExitCodeProcess(c->process, &code);
            c->ended = true;
            c->status = static_cast<int>(code);
            --running_;
            Event e;
            e.kind = Event::kEnded;
            e.child = static_cast<int>(std::find(children_.begin(), children_.end(), c) -
                                       children_.begin());
            e.status = c->status;
            pending_.push_back(e);
          }
        }
      }
      if (!pending_.empty()) {
        *event = std::move(pending_.front());
        pending_.erase(pending_.begin());
        return true;
      }
      if (running_ == 0) return false;
    }
    if (wakeFd >= 0 && win32::StopWaiting()) {
      *event = Event{};
      event->kind = Event::kWake;
      return true;
    }
    if (idleMs >= 0 && std::chrono::steady_clock::now() >= idleAt) {
      *event = Event{};
      event->kind = Event::kIdle;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
  }
}

void ProcessGroup::Signal(int child, int signal) {
  std::lock_guard<std::mutex> hold(lock_);
  if (child < 0 || child >= static_cast<int>(children_.size())) return;
  Child* c = children_[child];
  if (c->ended) return;
  if (signal == win32::kSigKill) {
    ::TerminateProcess(c->process, 128 + win32::kSigKill);
    return;
  }
  for (int i = 0; i < 3; ++i)
    if (win32::kPassedSignals[i] == signal && c->stop[i]) ::SetEvent(c->stop[i]);
}

void ProcessGroup::Signal(int signal) {
  std::vector<int> running;
  {
    std::lock_guard<std::mutex> hold(lock_);
    for (size_t i = 0; i < children_.size(); ++i)
      if (!children_[i]->ended) running.push_back(static_cast<int>(i));
  }
  for (int child : running) Signal(child, signal);
}

int ProcessGroup::Pid(int child) const {
  if (child < 0 || child >= static_cast<int>(children_.size())) return -1;
  return static_cast<int>(children_[child]->pid);
}

}  // namespace platform
