#include "serial/CSerialPort.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/devices/ConnectProcedure.h"
#include "platform/dialog/DialogConstants.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/EscapedBytes.h"
#include "serial/PathWaits.h"
#include "serial/SerialHost.h"

namespace {

// The port handle: one per process; the port is open exactly when it holds a device.
std::unique_ptr<platform::SerialDevice> handle;
SerialHost* host = nullptr;
// Whether the reason the open device vanished has been logged (once an opening).
bool lossTold = false;
// The read time-out the device was last given (ms), so that a local line's record is never
// touched after the open.
constexpr uint32_t kReadTimeoutMs = kLineQuietMs;
uint32_t readTimeoutMs = kReadTimeoutMs;
// When the last byte was written and the last byte read (the platform clock, ms).
uint64_t lastWriteMs = 0;
uint64_t lastReadMs = 0;
// Whether the answer to what was written last has been read to its prompt: then nothing of it
// is still on its way across a network path.
bool lastLineAnswered = false;
// The round trip last logged for this connection (0: none yet), and the last one known.
uint32_t loggedRoundTripMs = 0;
bool roundTripLogged = false;
int lastRoundTripMs = -1;

std::u16string RoundTripLine(const platform::PathTiming& path) {
  char text[96];
  std::snprintf(text, sizeof text, "Path round trip: %u ms (variation %u ms)", path.roundTripMs,
                path.variationMs);
  return platform::SingleByteToWide(text);
}

std::u16string Format(const char* fmt, const std::string& text, long number) {
  std::string out(text.size() + 64 + std::strlen(fmt), '\0');
  int n = std::snprintf(out.data(), out.size(), fmt, text.c_str(), number);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return platform::SingleByteToWide(out);
}

}  // namespace

void CSerialPort::Attach(SerialHost* h) {
  host = h;
}
SerialHost* CSerialPort::Host() {
  return host;
}

void CSerialPort::Log(const std::u16string& text) {
  if (host) host->LogLine(text);
}

void CSerialPort::TellLoss() {
  if (!handle || lossTold) return;
  const std::string reason = handle->LostReason();
  if (reason.empty()) return;
  lossTold = true;
  Log(u"ERROR: " + platform::Utf8ToWide(reason));
}

bool CSerialPort::IsOpen() {
  return handle != nullptr;
}

uint32_t CSerialPort::RateValue(const std::u16string& rateText) {
  // As the platform's decimal conversion does: leading blanks, digits, and no more.
  uint64_t value = 0;
  size_t i = 0;
  while (i < rateText.size() && (rateText[i] == u' ' || rateText[i] == u'\t')) ++i;
  for (; i < rateText.size() && rateText[i] >= u'0' && rateText[i] <= u'9'; ++i) {
    value = value * 10 + (rateText[i] - u'0');
    if (value > 0xFFFFFFFFu) return 0;
  }
  return static_cast<uint32_t>(value);
}

int CSerialPort::OpenPort(const std::u16string& rateText, bool showMessages) {
  if (handle) ClosePort();
  std::u16string port;
  if (host) {
    host->TakeControls();
    port = host->PortName();
  }
  int lastError = 0;
  lossTold = false;
  handle = platform::CurrentSerialProvider().CreateFile(port + u":", &lastError);
  platform::Sleep(200);
  if (handle) handle->PurgeComm(CSerialPort::kPurgeAll);
  if (!handle) {
    if (showMessages) {
      std::u16string text =
          Format("Couldn't open port %s. rc=%ld\r\n", platform::WideToSingleByte(port), lastError);
      Log(text);
      if (host) host->ShowMessage(text, u"Error", platform::MB_OK);
    }
    return RC_OPEN_FAILED;
  }
  platform::DCB dcb;
  bool configured = handle->GetCommState(dcb);
  if (configured) {
    dcb.BaudRate = RateValue(rateText);
    dcb.ByteSize = 8;
    dcb.Parity = 0;
    dcb.StopBits = 0;
    dcb.fBinary = false;
    dcb.fParity = false;
    dcb.fOutxCtsFlow = false;
    dcb.fOutxDsrFlow = false;
    dcb.fDtrControl = 1;
    dcb.fDsrSensitivity = false;
    dcb.fTXContinueOnXoff = true;
    dcb.fOutX = false;
    dcb.fInX = false;
    dcb.fErrorChar = false;
    dcb.fNull = false;
    dcb.fRtsControl = 1;
    dcb.fAbortOnError = false;
    configured = handle->SetCommState(dcb);
  }
  if (!configured) {
    Log(u"Unable to configure the serial port");
    if (showMessages && host)
      host->ShowMessage(u"Unable to configure the serial port", u"Error", platform::MB_OK);
    return RC_OPEN_FAILED;
  }
  platform::COMMTIMEOUTS timeouts;
  timeouts.ReadIntervalTimeout = 0;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 100;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  handle->SetCommTimeouts(timeouts);
  readTimeoutMs = kReadTimeoutMs;
  lastWriteMs = lastReadMs = 0;
  lastLineAnswered = false;
  loggedRoundTripMs = 0;
  roundTripLogged = false;
  lastRoundTripMs = -1;
  PathDelay();
  return RC_OK;
}

platform::PathTiming CSerialPort::PathDelay() {
  if (!handle) return {};
  const platform::PathTiming path = handle->PathDelay();
  if (!path.measured) return path;
  lastRoundTripMs = static_cast<int>(path.roundTripMs);
  const uint32_t logged = loggedRoundTripMs;
  const uint32_t change =
      path.roundTripMs > logged ? path.roundTripMs - logged : logged - path.roundTripMs;
  // A change of a few milliseconds on a short path is noise, however large a share it is.
  constexpr uint32_t kNoiseMs = 10;
  if (!roundTripLogged || (change * 2 > logged && change >= kNoiseMs)) {
    roundTripLogged = true;
    loggedRoundTripMs = path.roundTripMs;
    Log(RoundTripLine(path));
  }
  return path;
}

int CSerialPort::PathRoundTripMs() {
  return lastRoundTripMs;
}

int CSerialPort::ClosePort() {
  handle.reset();
  return RC_OK;
}

int CSerialPort::ReadChar(char* out) {
  return ReadCharWithin(out, kReadTimeoutMs);
}

int CSerialPort::ReadCharWithin(char* out, uint32_t timeoutMs) {
  if (!handle) {
    Log(u"ERROR: ReadChar RC_PORT_NOT_OPEN.");
    return RC_PORT_NOT_OPEN;
  }
  if (timeoutMs != readTimeoutMs) {
    platform::COMMTIMEOUTS timeouts;
    timeouts.ReadTotalTimeoutConstant = timeoutMs;
    handle->SetCommTimeouts(timeouts);
    readTimeoutMs = timeoutMs;
  }
  uint32_t got = 0;
  if (!handle->ReadFile(out, 1, &got)) {
    Log(u"ERROR: ReadChar RC_UNDEFINED.");
    TellLoss();
    return RC_UNDEFINED;
  }
  if (got != 1) return RC_TIMEOUT;
  lastReadMs = platform::NowMs();
  return RC_OK;
}

int CSerialPort::WriteStr(const char* text) {
  if (!handle) {
    Log(u"ERROR: WriteStr RC_PORT_NOT_OPEN.");
    return RC_PORT_NOT_OPEN;
  }
  uint32_t length = static_cast<uint32_t>(std::strlen(text));
  uint32_t written = 0;
  lastWriteMs = platform::NowMs();
  lastLineAnswered = false;
  if (!handle->WriteFile(text, length, &written)) {
    Log(u"ERROR: WriteStr RC_UNDEFINED.");
    TellLoss();
    return RC_UNDEFINED;
  }
  if (written < length) {
    Log(u"ERROR: WriteStr RC_NO_WRITE.");
    return RC_NO_WRITE;
  }
  return RC_OK;
}

int CSerialPort::ReadStr(char* buffer, size_t size) {
  if (!handle) {
    Log(u"ERROR: ReadStr RC_PORT_NOT_OPEN.");
    return RC_PORT_NOT_OPEN;
  }
  if (size == 0) return RC_BUFFER_FULL;
  size_t n = 0;
  char c = 0;
  EmptyingQuiet quiet(PathDelay(), lastReadMs, lastWriteMs, lastLineAnswered);
  for (uint32_t wait = quiet.Left(); wait > 0 && ReadCharWithin(&c, wait) == RC_OK;
       wait = quiet.Left()) {
    quiet.Took();
    if (n == size - 1) break;  // the byte that finds the buffer full is dropped
    buffer[n++] = c;
  }
  buffer[n] = '\0';
  if (n == size - 1) {
    Log(u"ERROR: ReadStr RC_BUFFER_FULL.");
    return RC_BUFFER_FULL;
  }
  return RC_OK;
}

void CSerialPort::AnswerTaken() {
  lastLineAnswered = true;
}

int CSerialPort::ReadTerminatedStr(char* buffer, size_t size, char terminator) {
  if (!handle) {
    Log(u"ERROR: ReadTerminatedStr RC_PORT_NOT_OPEN.");
    return RC_PORT_NOT_OPEN;
  }
  if (size == 0) return RC_UNDEFINED;
  size_t n = 0;
  bool found = false;
  char c = 0;
  // Across a network path the first byte may be a round trip away; the gaps inside what the
  // radio sends in one go only vary with the path.
  const platform::PathTiming path = PathDelay();
  JitterAllowance jitter(path.gapMs);
  while (ReadCharWithin(&c, kReadTimeoutMs + (n == 0 ? path.extensionMs : jitter.Left())) ==
         RC_OK) {
    jitter.Took(n > 0);
    if (n == size - 1) break;
    if (c == terminator) {
      found = true;
      break;
    }
    buffer[n++] = c;
  }
  buffer[n] = '\0';
  // The text goes into the log as received (line breaks included), its control bytes escaped
  // so that reading the log never runs what the radio or a server sent; Len counts the bytes
  // as they came. The line is sized to hold all of it.
  std::string text = platform::EscapeControlBytes(std::string_view(buffer, n));
  if (found) {
    Log(Format("ReadTerminatedStr: %s Len= %ld", text, static_cast<long>(n)));
    return RC_OK;
  }
  Log(Format("ERROR: ReadTerminatedStr: %s Len= %ld", text, static_cast<long>(n)));
  return RC_UNDEFINED;
}

bool CSerialPort::PortWrite(char byte) {
  uint32_t written = 0;
  int error = EBADF;
  if (handle) {
    lastWriteMs = platform::NowMs();
    lastLineAnswered = false;
    if (handle->WriteFile(&byte, 1, &written)) return written == 1;
    error = handle->LastError();
  }
  char text[64];
  std::snprintf(text, sizeof text, "ERROR %u: PortWrite failed.", static_cast<unsigned>(error));
  Log(platform::SingleByteToWide(text));
  TellLoss();
  return false;
}

bool CSerialPort::ConfirmWritten() {
  return handle && handle->ConfirmWritten(kConfirmBoundMs);
}

void CSerialPort::Purge(uint32_t flags) {
  if (handle) handle->PurgeComm(flags);
}

CSerialPort::Status CSerialPort::QueryStatus() {
  Status s;
  if (!handle) return s;
  platform::COMSTAT stat;
  if (handle->ClearCommError(&s.errors, &stat))
    s.inQueue = stat.cbInQue;
  else {
    s.errors = kDeviceLost;  // a device that vanished is a line error, so no wait goes on for ever
    TellLoss();
  }
  return s;
}

void CSerialPort::WaitForInput() {
  if (!handle) return;
  uint32_t events = 0;
  handle->SetCommMask(platform::EV_RXCHAR | platform::EV_ERR);
  handle->WaitCommEvent(&events, kWaitForInputBoundMs + PathDelay().extensionMs);
}

void CSerialPort::BeginConnect() {
  platform::ConnectProcedure::Begin();
}

void CSerialPort::EndConnect() {
  platform::ConnectProcedure::End();
}

std::u16string CSerialPort::TakeOpenNote() {
  return platform::Utf8ToWide(platform::ConnectProcedure::TakeNote());
}

std::u16string CSerialPort::OpenFailureText() {
  return platform::Utf8ToWide(platform::CurrentSerialProvider().FailureText());
}

std::u16string CSerialPort::DeviceBehindPort(bool* console) {
  *console = false;
  if (!host) return {};
  const std::u16string port = host->PortName();
  auto described = platform::CurrentSerialProvider().Describe(port + u":");
  if (!described) return {};
  *console = described->console;
  std::u16string device = platform::Utf8ToWide(described->device);
  return device == port ? std::u16string() : device;
}

bool CSerialPort::SetBaudrate(const std::u16string& rateText) {
  if (!handle) return false;
  platform::DCB dcb;
  if (!handle->GetCommState(dcb)) return false;
  dcb.BaudRate = RateValue(rateText);
  return handle->SetCommState(dcb);
}
