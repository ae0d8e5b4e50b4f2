#pragma once
// The tool's only connection to the radio: one serial port handle per process, opened on the
// main dialog's Port choice at a chosen rate with 8 data bits, no parity, one stop bit, no flow
// control, DTR and RTS raised and a 100 ms per-byte read time-out, and byte-level reading and
// writing on it.
//
// Every operation returns a small result code (RC_ below) and never throws; each failure is
// written to the log in fixed words; only OpenPort can also show a message box. Operations on
// a closed port fail with RC_PORT_NOT_OPEN. A failed configuration leaves the handle open
// (callers close it). WaitForInput never blocks longer than kWaitForInputBoundMs.
//
// A line at the far end of a network path (PathDelay) has the waits for the radio's answers
// extended by the path's round trip and its variation: the emptying read (ReadStr) ends once the
// line has been quiet 100 ms plus four variations since the last byte came and 100 ms plus the
// extension since the last byte went (the radio cannot answer what it has not heard, and its
// answer is a round trip away; once AnswerTaken says that answer has been read whole, only the
// cable's 100 ms); a terminated read waits 100 ms plus the extension for its first
// byte, and 100 ms plus four variations for each next one; WaitForInput waits the extension
// longer. On a local line the extension is zero and every wait is as described above.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/devices/SerialDevice.h"

class SerialHost;

enum : int {
  RC_OK = 0,
  RC_UNDEFINED = 1,
  RC_OPEN_FAILED = 2,
  RC_PORT_NOT_OPEN = 3,
  RC_TIMEOUT = 4,
  RC_NO_WRITE = 5,
  RC_BUFFER_FULL = 10,
};

class CSerialPort {
 public:
  // How long WaitForInput waits for the first byte of a reply before the caller's read goes
  // on and finds nothing (the radio answers within milliseconds when it answers at all).
  static constexpr uint32_t kWaitForInputBoundMs = 1000;

  // The window the port serves: its controls, port choice, log and message boxes.
  static void Attach(SerialHost* host);
  static SerialHost* Host();

  static bool IsOpen();
  static int OpenPort(const std::u16string& rateText, bool showMessages);
  static int ClosePort();
  static int ReadChar(char* out);
  static int WriteStr(const char* text);
  static int ReadStr(char* buffer, size_t size);
  static int ReadTerminatedStr(char* buffer, size_t size, char terminator);
  // The answer to what was written last has been read to its prompt, its echo found: nothing
  // of it is still on its way, and the next emptying read waits only the cable's quiet.
  static void AnswerTaken();
  // Writes one byte; false when it could not be written (the failure is logged).
  static bool PortWrite(char byte);
  static void Purge(uint32_t flags);
  // Whether everything written so far has left for the radio: drained from a local line, or
  // confirmed taken by a network server (one round trip), within kConfirmBoundMs. False when
  // the port is closed or lost, or the confirmation did not come; nothing is logged here.
  static constexpr uint32_t kConfirmBoundMs = 3000;
  static bool ConfirmWritten();
  // Purge in all four ways: abort and clear, output and input.
  static constexpr uint32_t kPurgeAll = platform::PURGE_TXABORT | platform::PURGE_RXABORT |
                                        platform::PURGE_TXCLEAR | platform::PURGE_RXCLEAR;
  // The line-error flag QueryStatus reports when the device no longer answers at all.
  static constexpr uint32_t kDeviceLost = 0x80000000u;
  struct Status {
    uint32_t errors = 0;
    uint32_t inQueue = 0;
  };
  static Status QueryStatus();
  static void WaitForInput();
  static bool SetBaudrate(const std::u16string& rateText);

  // What the path to the open line adds to the waits for an answer (zero when closed or
  // local). The first value of a connection, and each that differs from the last one logged by
  // more than half, is logged.
  static platform::PathTiming PathDelay();
  // The round trip of the last network line opened, in milliseconds, as last measured; -1 when
  // the last line opened was local, or none was opened.
  static int PathRoundTripMs();

  // A connect procedure opens the port several times: its openings share one connect bound
  // and one memory of failures (a network server's). EndConnect when it is over.
  static void BeginConnect();
  static void EndConnect();
  // What the log should say of the last opening that succeeded (where a TLS server's
  // certificate was checked against), once; else empty.
  static std::u16string TakeOpenNote();
  // Why the last OpenPort could not open the device, when the serial layer says more than a
  // code (a network server's reason, naming HOST:PORT); else empty.
  static std::u16string OpenFailureText();
  // The device behind the host's port choice, and whether it is the kernel's console; empty
  // when the port is its own device or nobody says.
  static std::u16string DeviceBehindPort(bool* console);

  // The decimal value of a rate text; text that is not a number gives 0.
  static uint32_t RateValue(const std::u16string& rateText);

 private:
  static void Log(const std::u16string& text);
  // One byte within timeoutMs (the read time-out record is changed only when it must be).
  static int ReadCharWithin(char* out, uint32_t timeoutMs);
  // Logs why the open device vanished, once an opening, when the device can say.
  static void TellLoss();
};
