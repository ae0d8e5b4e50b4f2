#pragma once
// The framing of the radio's line protocol on the serial port: a command line is the command's
// single-byte text plus CR LF; the radio echoes it, adds the value in hexadecimal digits (line
// breaks anywhere) and ends with its prompt ">". Also the lines sent without awaiting a reply,
// and the banner the radio prints when it starts, read up to ":" and taken apart from its
// first capital "W": the model number at positions 3 to 6, the firmware version at 9 to 11.
//
// Results are 0 for success and 1 for failure; each failure is logged in fixed words, and no
// message box is shown here. Buffers are never read or written past their size.

#include <cstddef>
#include <cstdint>
#include <string>

// "Radio Firmware: Not Connected", or "Radio Firmware: " and the firmware text once a banner
// was read, its control bytes escaped (EscapedBytes.h). Shown by the About box.
extern std::u16string firmwareLabel;
extern const char16_t kFirmwareNotConnected[];

// One register command and its reply value. 0 when the radio answered with its prompt and the
// reply holds the command's whole echo (letter case ignored, CR, LF and NUL skipped); the value
// is read from just after the echo. A command holding ">" must end its read with its echo up to
// that ">". A reply without the echo is another command's (logged as "RadioCommand error 3";
// across a network path followed by how long after the line before it the reply came, and
// the path's round trip).
int RadioCommand(const std::u16string& command, int32_t* value);
// Writes the text and CR LF; reads nothing. True when all of it was written (the failures are
// logged by the serial port).
bool SendLine(const std::u16string& text);
bool SendLine(const char* text);

// Reads and discards what arrives until the line has been quiet for one read time-out (200
// bytes at most); across a network path, quiet as CSerialPort::ReadStr counts it. 0 when emptied; 1
// when the port is closed or the radio keeps talking (the serial port has logged it).
int EmptyInput();
// The pause after a line whose answer is then emptied away (":wit2400", "sd?"): ms, and across
// a network path the path's extension too, so that the answer has come back before the
// emptying read.
void PauseForAnswer(uint32_t ms);

// What a banner gives.
struct BannerValues {
  std::u16string bannerText;
  std::u16string firmwareText;
  double firmwareVersion = -1.0;
  int32_t modelNumber = 2410;
};
// Reads the banner (after a 200 ms pause) and takes it apart; sets firmwareLabel and logs
// "Banner: ..." (control bytes escaped) on success. 0 when a banner was read. The values keep
// the banner's text as it came.
int ReadBanner(BannerValues* values);

// Moves the text from the first start character on to the front of the buffer, leaving out
// CR and LF. 0 on success; 1 (logged, buffer unchanged) when there is no start character or
// no terminating zero after it within the size.
int FilterBuffer(char* buffer, size_t size, char start);
// The value of hexadecimal digits, letters in either case; other characters add nothing.
int32_t HexToInt(const std::u16string& text);
// The non-zero bytes of the text's UTF-16 form (little-endian), in order.
std::string ToAscii(const std::u16string& text);
