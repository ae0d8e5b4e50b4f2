#include "serial/RadioExchange.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/EscapedBytes.h"
#include "serial/CSerialPort.h"
#include "serial/SerialHost.h"

const char16_t kFirmwareNotConnected[] = u"Radio Firmware: Not Connected";
std::u16string firmwareLabel = kFirmwareNotConnected;

namespace {

constexpr size_t kBufferSize = 200;

// When the last line went to the radio (the platform clock, ms): a late reply is that line's.
uint64_t lastLineSentMs = 0;

void Log(const std::u16string& text) {
  if (SerialHost* host = CSerialPort::Host()) host->LogLine(text);
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// The platform's decimal conversions: leading blanks, an optional sign, then as much of a
// number as there is; no number at all gives 0.
int32_t DecimalInt(const std::u16string& t) {
  size_t i = 0;
  while (i < t.size() && (t[i] == u' ' || t[i] == u'\t')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
  int64_t v = 0;
  for (; i < t.size() && IsDigit(t[i]); ++i) v = v * 10 + (t[i] - u'0');
  return static_cast<int32_t>(negative ? -v : v);
}

double DecimalDouble(const std::u16string& t) {
  size_t i = 0;
  while (i < t.size() && (t[i] == u' ' || t[i] == u'\t')) ++i;
  std::string number;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) number += static_cast<char>(t[i++]);
  for (; i < t.size() && (IsDigit(t[i]) || t[i] == u'.'); ++i) number += static_cast<char>(t[i]);
  // from_chars reads exactly as the text is written, whatever the locale (Qt sets one).
  double v = 0.0;
  const char* first = number.c_str() + (number[0] == '+' ? 1 : 0);
  auto r = std::from_chars(first, number.c_str() + number.size(), v);
  return r.ec == std::errc() ? v : 0.0;
}

std::u16string Slice(const std::u16string& t, size_t from, size_t to) {
  if (from >= t.size()) return {};
  return t.substr(from, std::min(to, t.size()) - from);
}

// The reply's bytes without CR, LF and NUL: line breaks may stand anywhere, and a NUL from a
// noisy line must neither end the reply early nor split the echo.
std::string WithoutLineBytes(const char* reply, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i)
    if (reply[i] != '\r' && reply[i] != '\n' && reply[i] != '\0') out += reply[i];
  return out;
}

bool SameLetters(const std::string& a, size_t at, const std::string& b) {
  if (at + b.size() > a.size()) return false;
  for (size_t i = 0; i < b.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[at + i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Where this command's value starts in the cleaned reply: just after the first whole echo of
// the command, letter case ignored, wherever it stands (a stray byte or a capital-letter echo
// is still the radio answering this command). A command with a ">" of its own ended the read
// at that ">", so its echo up to it must be the last thing read; it carries no value.
bool FindEcho(const std::string& read, const std::string& command, size_t* valueAt) {
  const size_t prompt = command.find('>');
  if (prompt != std::string::npos) {
    const std::string echo = command.substr(0, prompt);
    if (read.size() < echo.size() || !SameLetters(read, read.size() - echo.size(), echo))
      return false;
    *valueAt = read.size();
    return true;
  }
  for (size_t at = 0; at + command.size() <= read.size(); ++at) {
    if (SameLetters(read, at, command)) {
      *valueAt = at + command.size();
      return true;
    }
  }
  return false;
}

}  // namespace

std::string ToAscii(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    char low = static_cast<char>(c & 0xFF);
    char high = static_cast<char>(c >> 8);
    if (low) out += low;
    if (high) out += high;
  }
  return out;
}

int32_t HexToInt(const std::u16string& text) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  uint32_t value = 0;  // wraps like the 32-bit arithmetic it stands for
  size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t c = text[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    const char16_t* p = std::char_traits<char16_t>::find(digits, 16, c);
    if (!p) continue;
    value += static_cast<uint32_t>(p - digits);
    if (i + 1 < n) value *= 16;
  }
  return static_cast<int32_t>(value);
}

int FilterBuffer(char* buffer, size_t size, char start) {
  std::string scratch(buffer, size);
  size_t pos = 0;
  while (pos < size && scratch[pos] != '\0' && scratch[pos] != start) ++pos;
  if (pos >= size || scratch[pos] != start) {
    Log(u"ERROR: FilterBuffer 1.");
    return 1;
  }
  size_t end = scratch.find('\0', pos);
  if (end == std::string::npos) {
    Log(u"ERROR: FilterBuffer 2.");
    return 1;
  }
  size_t n = 0;
  for (size_t i = pos; i < end; ++i)
    if (scratch[i] != '\r' && scratch[i] != '\n') buffer[n++] = scratch[i];
  buffer[n] = '\0';
  return 0;
}

bool SendLine(const char* text) {
  lastLineSentMs = platform::NowMs();
  bool ok = CSerialPort::WriteStr(text) == RC_OK;
  ok = CSerialPort::PortWrite('\r') && ok;
  ok = CSerialPort::PortWrite('\n') && ok;
  return ok;
}

bool SendLine(const std::u16string& text) {
  return SendLine(ToAscii(text).c_str());
}

int RadioCommand(const std::u16string& command, int32_t* value) {
  char unread[kBufferSize];
  char reply[kBufferSize] = {};
  CSerialPort::Purge(CSerialPort::kPurgeAll);
  if (CSerialPort::ReadStr(unread, sizeof unread) != RC_OK) {
    Log(u"ERROR: RadioCommand error 1");
    return 1;
  }
  std::string line = ToAscii(command);
  const uint64_t lineBeforeMs = lastLineSentMs;
  lastLineSentMs = platform::NowMs();
  CSerialPort::WriteStr(line.c_str());
  CSerialPort::PortWrite('\r');
  CSerialPort::PortWrite('\n');
  CSerialPort::WaitForInput();
  const uint64_t replyCameMs = platform::NowMs();
  platform::Sleep(50);
  if (CSerialPort::ReadTerminatedStr(reply, sizeof reply, '>') != RC_OK) {
    Log(u"ERROR: RadioCommand error 2");
    return 1;
  }
  // The echo is looked for in the reply as read; FilterBuffer is kept for its log line.
  const std::string read = WithoutLineBytes(reply, sizeof reply);
  FilterBuffer(reply, sizeof reply, line.empty() ? '\0' : line[0]);
  size_t valueAt = 0;
  if (!FindEcho(read, line, &valueAt)) {
    // A reply without this command's echo belongs to another command: a late answer that was
    // still on its way. Taking its prompt for ours would report a command the radio never
    // heard as done.
    Log(u"ERROR: RadioCommand error 3");
    const platform::PathTiming path = CSerialPort::PathDelay();
    if (path.measured && lineBeforeMs != 0) {
      // Across a network path, say how late it was against what the path itself takes.
      char text[128];
      std::snprintf(text, sizeof text,
                    "ERROR: the radio's reply came %.1f s after the command; the path's round "
                    "trip is %.1f s",
                    static_cast<double>(replyCameMs - lineBeforeMs) / 1000.0,
                    path.roundTripMs / 1000.0);
      Log(platform::SingleByteToWide(text));
    }
    return 1;
  }
  CSerialPort::AnswerTaken();
  if (value) *value = HexToInt(platform::SingleByteToWide(read.substr(valueAt)));
  return 0;
}

int ReadBanner(BannerValues* values) {
  char buffer[kBufferSize];
  platform::Sleep(200);
  if (CSerialPort::ReadTerminatedStr(buffer, sizeof buffer, ':') != RC_OK) return 1;
  if (FilterBuffer(buffer, sizeof buffer, 'W') != 0) return 1;
  std::u16string banner = platform::SingleByteToWide(buffer);
  values->bannerText = banner;
  values->firmwareText = Slice(banner, 9, 12);
  values->firmwareVersion = DecimalDouble(values->firmwareText);
  // The banner's bytes come from the radio: on a screen and in the log, a control byte is
  // shown escaped, never acted upon by the terminal.
  firmwareLabel = u"Radio Firmware: " + platform::EscapeControlBytes(values->firmwareText);
  values->modelNumber = DecimalInt(Slice(banner, 3, 7));
  Log(u"Banner: " + platform::EscapeControlBytes(banner));
  return 0;
}

void PauseForAnswer(uint32_t ms) {
  platform::Sleep(ms + CSerialPort::PathDelay().extensionMs);
}

int EmptyInput() {
  char buffer[200];
  return CSerialPort::ReadStr(buffer, sizeof buffer) == RC_OK ? 0 : 1;
}
