// The reply path: whatever bytes the radio sends after a command, RadioCommand ends with 0 or
// 1, never reads or writes past its buffers, and a success means a ">" came back after the
// command's echo. Also ReadTerminatedStr into buffers of every size, FilterBuffer on buffers
// with or without a zero byte, and HexToInt against its rule (each digit added, and the sum
// multiplied by 16 unless the digit is the last character), with 32-bit wrap-around.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzLine.h"
#include "serial/RadioExchange.h"

namespace {

uint32_t HexRule(const std::u16string& text) {
  const std::u16string digits = u"0123456789ABCDEF";
  uint32_t v = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    size_t d = digits.find(c);
    if (d == std::u16string::npos) continue;
    v += static_cast<uint32_t>(d);
    if (i + 1 < text.size()) v *= 16;
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::FuzzLine line;
  if (size < 2) return 0;
  const uint8_t sizeByte = data[0];
  const char start = static_cast<char>(data[1]);
  const std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);

  std::u16string wide;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    wide += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                  static_cast<uint8_t>(bytes[i + 1]) << 8);
  if (static_cast<uint32_t>(HexToInt(wide)) != HexRule(wide)) fuzz::Broken("HexToInt");

  // FilterBuffer on exactly `n` bytes, which need not hold a zero byte.
  const size_t n = 1 + sizeByte % 200;
  std::vector<char> buffer(n);
  std::memcpy(buffer.data(), bytes.data(), std::min(n, bytes.size()));
  const std::vector<char> before = buffer;
  int r = FilterBuffer(buffer.data(), n, start);
  if (r != 0 && buffer != before) fuzz::Broken("FilterBuffer leaves the buffer alone on failure");
  // (A line break as the start character is dropped with the others.)
  const bool dropped = start == '\r' || start == '\n';
  if (r == 0 && ((!dropped && buffer[0] != start) || !std::memchr(buffer.data(), '\0', n)))
    fuzz::Broken("FilterBuffer starts at the start character and ends in a zero byte");
  if (r == 0 && std::strpbrk(buffer.data(), "\r\n")) fuzz::Broken("FilterBuffer drops CR and LF");

  testing_support::FakeLine* l = line.Open();
  if (!l) fuzz::Broken("the scripted port opens");
  // The reply arrives after the command's CR LF.
  l->AnswerLines([&bytes](const std::string&) { return bytes; }, 1000);
  int32_t value = 0;
  r = RadioCommand(u"wn?", &value);
  if (r != 0 && r != 1) fuzz::Broken("RadioCommand answers 0 or 1");
  if (r == 0 && bytes.find('>') == std::string::npos) fuzz::Broken("success needs a prompt");
  std::string heard;  // the reply up to its prompt, as the echo is looked for in it
  for (char c : bytes.substr(0, bytes.find('>')))
    if (c != '\r' && c != '\n' && c != '\0')
      heard += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (r == 0 && heard.find("wn?") == std::string::npos) fuzz::Broken("success needs the echo");

  l = line.Open();
  l->Arrive(bytes, 0, 10);
  std::vector<char> reply(n);
  r = CSerialPort::ReadTerminatedStr(reply.data(), n, start);
  if (r == RC_OK && std::strlen(reply.data()) >= n) fuzz::Broken("ReadTerminatedStr stays in n");
  return 0;
}
