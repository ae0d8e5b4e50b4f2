#pragma once
// The serial devices, shaped after the controller's serial calls: a device is opened existing
// and exclusively by its port name ("COM1:" to "COM3:", see PortMap.h), then its line settings
// are read and applied as a device-control record, its time-outs set, its queues purged, its
// line errors and input count queried, its events waited for, and bytes read and written.
// Destroying the device object closes it.
//
// Promises on failure: every call returns false (and sets the device's last error, an errno
// value) instead of throwing; a device that vanishes (cable pulled, USB adapter removed, the
// other end of a pseudo-terminal gone) makes reads and writes fail, never hang or crash. A read
// never waits longer than its time-outs allow; WaitCommEvent never longer than its bound.
//
// Three kinds exist: termios devices (real ports, USB adapters and pseudo-terminals, see
// TermiosSerial.h), lines of network serial servers (NetworkSerial.h) and simulated devices
// joined in-process to the radio stand-in on the virtual clock (sim/). Which kind a port name
// opens is decided by the current provider and the port map. Each builds on TimedSerialDevice,
// which reads under the time-out record for all of them; a device supplies only its transport.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// Device-control record: the fields the program reads and changes.
struct DCB {
  uint32_t BaudRate = 9600;
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;    // 0 none, 1 odd, 2 even
  uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  bool fBinary = true;
  bool fParity = false;
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  uint8_t fDtrControl = 1;  // 0 disable, 1 enable, 2 handshake
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = true;
  bool fOutX = false;
  bool fInX = false;
  bool fErrorChar = false;
  bool fNull = false;
  uint8_t fRtsControl = 1;  // 0 disable, 1 enable, 2 handshake, 3 toggle
  bool fAbortOnError = false;
};

// Time-outs in milliseconds; 0 means the term is not used. A read of n bytes returns when n
// bytes have come or ReadTotalTimeoutMultiplier * n + ReadTotalTimeoutConstant has passed; the
// whole rule, the same for every kind of device, is in TimedRead.h.
struct COMMTIMEOUTS {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

struct COMSTAT {
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// What the path between the program and the line adds to a wait for the radio's answer, in
// milliseconds: the measured round trip (SRTT) and its variation (RTTVAR), and from them the
// extension of a wait for an answer (round trip + 4 variations) and of a gap inside one (4
// variations), each at most 3 s (RoundTripEstimator.h). All zero on a local line, which
// measures nothing.
struct PathTiming {
  bool measured = false;
  uint32_t roundTripMs = 0;
  uint32_t variationMs = 0;
  uint32_t extensionMs = 0;
  uint32_t gapMs = 0;
};

enum : uint32_t {
  PURGE_TXABORT = 0x1,
  PURGE_RXABORT = 0x2,
  PURGE_TXCLEAR = 0x4,
  PURGE_RXCLEAR = 0x8
};
enum : uint32_t { EV_RXCHAR = 0x1, EV_ERR = 0x80 };
enum : uint32_t {
  CE_RXOVER = 0x1,
  CE_OVERRUN = 0x2,
  CE_RXPARITY = 0x4,
  CE_FRAME = 0x8,
  CE_BREAK = 0x10
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  virtual bool GetCommState(DCB& dcb) = 0;
  virtual bool SetCommState(const DCB& dcb) = 0;
  virtual bool SetCommTimeouts(const COMMTIMEOUTS& t) = 0;
  virtual bool PurgeComm(uint32_t flags) = 0;
  // Reports and clears the line errors (CE_ flags) and counts the bytes waiting.
  virtual bool ClearCommError(uint32_t* errors, COMSTAT* stat) = 0;
  virtual bool SetCommMask(uint32_t mask) = 0;
  // Waits for one of the events of the mask. Returns false with *events = 0 when boundMs has
  // passed without one (the platform call had no bound; ours always has one).
  virtual bool WaitCommEvent(uint32_t* events, uint32_t boundMs) = 0;
  // Reads up to n bytes within the time-outs; success with *got = 0 means the time-out passed.
  virtual bool ReadFile(void* buf, uint32_t n, uint32_t* got) = 0;
  virtual bool WriteFile(const void* buf, uint32_t n, uint32_t* written) = 0;
  // Waits until everything written so far has left this end: a local line until its output
  // queue is empty (a pseudo-terminal hands bytes over at once), a network line until the
  // server has confirmed taking it (one round trip). False, with the last error set, when the
  // device is lost or that cannot be confirmed within boundMs. A device that cannot tell
  // (in-process, where a write is taken whole at once) confirms at once.
  virtual bool ConfirmWritten(uint32_t boundMs) {
    (void)boundMs;
    return true;
  }
  // The path's timing as measured so far (a network line measures its round trips to the
  // server); zero for a device next to the program.
  virtual PathTiming PathDelay() const { return {}; }
  virtual int LastError() const = 0;
  // Why the device is gone, when it can say more than its errno value (a network server that
  // closed the connection, naming HOST:PORT); empty otherwise.
  virtual std::string LostReason() const { return {}; }
};

// Opens devices by port name. The process has one current provider: the termios provider
// unless a test (or the in-process simulation) has installed another.
class SerialProvider {
 public:
  virtual ~SerialProvider() = default;
  // Opens the existing device behind a port name, for reading and writing, shared with
  // nobody. nullptr with *lastError set (an errno value) when it cannot be opened.
  virtual std::unique_ptr<SerialDevice> CreateFile(const std::u16string& portDevice,
                                                   int* lastError) = 0;
  // Why the last CreateFile failed when there is more to say than its errno value (a network
  // server's reason, naming HOST:PORT); empty otherwise.
  virtual std::string FailureText() const { return {}; }
  // Whether the start-up list shows the port. By default: whether it opens now (it is closed
  // again at once).
  virtual bool Listable(const std::u16string& portDevice) {
    int error = 0;
    return CreateFile(portDevice, &error) != nullptr;
  }
  struct PortDescription {
    std::string device;    // what the port name stands for (a path or a network name)
    bool console = false;  // the kernel's console, opened only because it was named
  };
  // What a port name stands for, when the provider can say.
  virtual std::optional<PortDescription> Describe(const std::u16string&) { return std::nullopt; }
};

SerialProvider& CurrentSerialProvider();
void SetSerialProvider(SerialProvider* provider);  // nullptr restores the termios provider

}  // namespace platform
