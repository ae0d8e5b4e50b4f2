#include "platform/devices/win32/Win32Serial.h"

// Opening, closing and the line settings. windows.h comes after the project's headers: its
// macros (PURGE_RXCLEAR, EV_RXCHAR, CE_FRAME, ...) carry the same values as their names there,
// and its records are reached as ::DCB and ::COMMTIMEOUTS.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>

#include "platform/system/win32/WinText.h"

namespace platform {

struct Win32Serial::Saved {
  bool haveState = false;
  ::DCB state{};
  bool haveTimeouts = false;
  ::COMMTIMEOUTS timeouts{};
};

namespace {

// Waiting at close for queued output to leave: the time its bytes need plus this slack, and
// never more than the bound.
constexpr int64_t kDrainSlackUs = 50000;
constexpr int64_t kDrainBoundUs = 1000000;

// The ports open in this process and what each was found with, for RestoreAll.
std::mutex openLock;
std::map<HANDLE, Win32Serial*> openPorts;

}  // namespace

int64_t Win32Serial::NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::unique_ptr<Win32Serial> Win32Serial::Open(const std::string& device, int* lastError) {
  int dummy = 0;
  if (!lastError) lastError = &dummy;
  HANDLE h = ::CreateFileW(win32::Wide(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *lastError = win32::ErrnoFromWin32(::GetLastError());
    return nullptr;
  }
  auto saved = std::make_unique<Saved>();
  saved->state.DCBlength = sizeof(::DCB);
  // Only a serial port has line settings; anything else the name leads to is closed again. A
  // port whose settings cannot be read (wine cannot read a rate that Linux set in its own
  // way, as the Linux side of the tool does) is still a port if it takes new ones; there is
  // nothing to give back at close then.
  if (::GetFileType(h) != FILE_TYPE_CHAR) {
    ::CloseHandle(h);
    *lastError = ENOTTY;
    return nullptr;
  }
  saved->haveState = ::GetCommState(h, &saved->state) != 0;
  saved->haveTimeouts = ::GetCommTimeouts(h, &saved->timeouts) != 0;
  // Cooperating programs (and this one) meet at the port's name even where the system lets a
  // second opener in.
  const std::string name = device.substr(device.find_last_of('\\') + 1);
  HANDLE claim = ::CreateMutexW(nullptr, FALSE, win32::Wide("Local\\qelm-port-" + name).c_str());
  if (!claim || ::GetLastError() == ERROR_ALREADY_EXISTS) {
    if (claim) ::CloseHandle(claim);
    ::CloseHandle(h);
    *lastError = EBUSY;
    return nullptr;
  }
  std::unique_ptr<Win32Serial> port(new Win32Serial(h));
  port->claim_ = claim;
  port->saved_ = std::move(saved);
  port->ioEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  port->waitEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // Reads return at once with what is there; the timed read above does the waiting.
  if (!port->ioEvent_ || !port->waitEvent_ || !port->SetPortTimeouts(0)) {
    *lastError = win32::ErrnoFromWin32(::GetLastError());
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> hold(openLock);
    openPorts[h] = port.get();
  }
  // Raw at once at the rate the port holds, so nothing is translated before the caller
  // applies its own record.
  DCB dcb;
  if (port->saved_->haveState && port->saved_->state.BaudRate)
    dcb.BaudRate = port->saved_->state.BaudRate;
  if (!port->SetCommState(dcb)) {
    *lastError = port->saved_->haveState ? port->LastError() : ENOTTY;
    return nullptr;
  }
  return port;
}

Win32Serial::Win32Serial(void* handle) : handle_(handle) {}

void Win32Serial::GiveBack(void* handle, const Saved& saved) {
  ::DCB state = saved.state;
  ::COMMTIMEOUTS timeouts = saved.timeouts;
  if (saved.haveState) ::SetCommState(handle, &state);
  if (saved.haveTimeouts) ::SetCommTimeouts(handle, &timeouts);
}

Win32Serial::~Win32Serial() {
  {
    std::lock_guard<std::mutex> hold(openLock);
    openPorts.erase(handle_);
  }
  if (saved_) {
    WaitOutputSent();
    // The next program finds the port as it was before we opened it.
    GiveBack(handle_, *saved_);
  }
  ::CloseHandle(handle_);
  if (ioEvent_) ::CloseHandle(ioEvent_);
  if (claim_) ::CloseHandle(claim_);
  if (waitEvent_) ::CloseHandle(waitEvent_);
}

void Win32Serial::RestoreAll() {
  std::lock_guard<std::mutex> hold(openLock);
  for (const auto& [h, port] : openPorts)
    if (port->saved_) GiveBack(h, *port->saved_);
}

void Win32Serial::WaitOutputSent() {
  // The last bytes written must leave at the rate they were written at before the line
  // settings change under them; a far end that stopped taking them holds the close for no
  // longer than the bound.
  ::COMSTAT stat{};
  DWORD errors = 0;
  if (!::ClearCommError(handle_, &errors, &stat) || stat.cbOutQue == 0) return;
  const int64_t needUs =
      static_cast<int64_t>(stat.cbOutQue) * 10 * 1000000 / std::max<uint32_t>(rate_, 300);
  const int64_t until = NowUs() + std::min<int64_t>(needUs + kDrainSlackUs, kDrainBoundUs);
  while (NowUs() < until) {
    if (!::ClearCommError(handle_, &errors, &stat) || stat.cbOutQue == 0) return;
    ::Sleep(1);
  }
}

bool Win32Serial::Fail(int error) {
  lastError_ = error;
  return false;
}

bool Win32Serial::FailFromSystem() {
  const DWORD error = ::GetLastError();
  // A port that has gone (a USB adapter pulled) answers with these.
  if (error == ERROR_BAD_COMMAND || error == ERROR_DEVICE_REMOVED ||
      error == ERROR_OPERATION_ABORTED || error == ERROR_INVALID_HANDLE ||
      error == ERROR_GEN_FAILURE || error == ERROR_BROKEN_PIPE)
    return Fail(EIO);
  return Fail(win32::ErrnoFromWin32(error));
}

bool Win32Serial::GetCommState(DCB& dcb) {
  ::DCB d{};
  d.DCBlength = sizeof d;
  if (!::GetCommState(handle_, &d)) return FailFromSystem();
  dcb.BaudRate = d.BaudRate;
  dcb.ByteSize = d.ByteSize;
  dcb.Parity = d.Parity;
  dcb.StopBits = d.StopBits;
  dcb.fBinary = d.fBinary;
  dcb.fParity = d.fParity;
  dcb.fOutxCtsFlow = d.fOutxCtsFlow;
  dcb.fOutxDsrFlow = d.fOutxDsrFlow;
  dcb.fDtrControl = static_cast<uint8_t>(d.fDtrControl);
  dcb.fDsrSensitivity = d.fDsrSensitivity;
  dcb.fTXContinueOnXoff = d.fTXContinueOnXoff;
  dcb.fOutX = d.fOutX;
  dcb.fInX = d.fInX;
  dcb.fErrorChar = d.fErrorChar;
  dcb.fNull = d.fNull;
  dcb.fRtsControl = static_cast<uint8_t>(d.fRtsControl);
  dcb.fAbortOnError = d.fAbortOnError;
  return true;
}

bool Win32Serial::SetCommState(const DCB& dcb) {
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 ||
      dcb.StopBits > 2)
    return Fail(EINVAL);
  ::DCB d{};
  d.DCBlength = sizeof d;
  // Every field from the record; the driver's flow-control limits and characters are kept
  // where it can tell them.
  const bool known = ::GetCommState(handle_, &d) != 0;
  ::DCB before = d;
  if (!known) {
    d = ::DCB{};
    d.DCBlength = sizeof d;
    d.XonLim = 2048;
    d.XoffLim = 512;
    d.XonChar = 0x11;
    d.XoffChar = 0x13;
  }
  d.BaudRate = dcb.BaudRate;
  d.ByteSize = dcb.ByteSize;
  d.Parity = dcb.Parity;
  d.StopBits = dcb.StopBits;
  d.fBinary = TRUE;
  d.fParity = dcb.fParity;
  d.fOutxCtsFlow = dcb.fOutxCtsFlow;
  d.fOutxDsrFlow = dcb.fOutxDsrFlow;
  d.fDtrControl = dcb.fDtrControl;
  d.fDsrSensitivity = dcb.fDsrSensitivity;
  d.fTXContinueOnXoff = dcb.fTXContinueOnXoff;
  d.fOutX = dcb.fOutX;
  d.fInX = dcb.fInX;
  d.fErrorChar = dcb.fErrorChar;
  d.fNull = dcb.fNull;
  d.fRtsControl = dcb.fRtsControl;
  d.fAbortOnError = dcb.fAbortOnError;
  if (!::SetCommState(handle_, &d)) return FailFromSystem();
  // A driver that takes a rate it cannot set without a word (wine: 14400 on a
  // pseudo-terminal) would leave the line at another rate than the caller believes.
  ::DCB after{};
  after.DCBlength = sizeof after;
  if (!::GetCommState(handle_, &after)) return FailFromSystem();
  if (after.BaudRate != dcb.BaudRate) {
    if (known) ::SetCommState(handle_, &before);
    return Fail(EINVAL);
  }
  rate_ = dcb.BaudRate;
  return true;
}

bool Win32Serial::SetPortTimeouts(uint32_t waitMs) {
  // 0: a read returns at once with what is there; else a read (of one byte) waits up to
  // waitMs for it.
  ::COMMTIMEOUTS t{waitMs ? 0 : MAXDWORD, 0, waitMs, 0, 0};
  if (!::SetCommTimeouts(handle_, &t)) return FailFromSystem();
  return true;
}

}  // namespace platform
