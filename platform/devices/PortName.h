#pragma once
// A port's name as a typed value, parsed in this one place for every caller: the dialog's
// port list and open (through the port map), qelm-cli's --port, --ports and ports file, its
// ports listing, and the providers that turn a port device name ("COM1:", as CSerialPort
// hands it to CreateFile) into a device. A port is one of three kinds: a COM port (1 to 3,
// mapped to a device by PortMap.h), a device path, or a network serial server's line
// ("rfc2217://HOST:PORT", "rfc2217+tls://HOST:PORT", NetworkPortName.h).
//
// Promises on failure: a text that is no port name gives nothing, with the fault that says
// why; nothing throws. Nothing is opened here; a bare word is only looked up (lstat) in the
// working folder, to tell a relative path from a wrong port name.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/devices/NetworkPortName.h"

namespace platform {

// The highest COM port number: the controller's three on Linux, the system's 255 on Windows
// (where qelm-cli takes any of them).
#ifdef _WIN32
constexpr int kMaxComPort = 255;
#else
constexpr int kMaxComPort = 3;
#endif

// A port name longer than this is refused (no device or network name comes near it).
constexpr size_t kMaxPortNameBytes = 256;

struct PortName {
  enum class Kind { kCom, kPath, kNetwork };
  Kind kind = Kind::kPath;
  int com = 0;              // 1 to kMaxComPort, for a COM port
  std::string path;         // for a path: absolute (a port map's device: as it stands)
  NetworkPortName network;  // for a network line

  // "COM1", the path, or the network name in its normal form.
  std::string Text() const;
  // The device this port leads to: a COM port's through the system's port map (nothing when
  // it maps to none), a path or network name itself.
  std::optional<std::string> Device() const;
};

enum class PortNameFault {
  kNone,
  kControl,  // control characters
  kTooLong,  // more than kMaxPortNameBytes
  kNotUtf8,
  kBadNetwork,  // begins like a network name, but is not one in every part
  kUnknown,     // neither a COM port, a path nor a network name
};

// A port as a person writes it: COM1 to COM3 in any letter case; an absolute path; a
// relative path (one with a '/', or a name that exists in the working folder), resolved
// against the working folder; or a network name. On Windows: any COMn (to kMaxComPort) or its
// device name "\\.\COMn", or a network name; there are no paths.
std::optional<PortName> ParsePortName(std::string_view text, PortNameFault* fault = nullptr);

// A port device name as CSerialPort forms it: a port's Text() and ":". Only "COM1:" to
// "COM3:" exactly, an absolute path or a well-formed network name; nothing for any other text.
// On Windows any "COMn:" and "\\.\COMn:" instead of paths.
std::optional<PortName> ParsePortDevice(const std::u16string& portDevice);

// A device as the port map holds it (QELM_COMn, the preferences, an adapter): a network name
// when it begins like one (kBadNetwork when it is malformed), else a path taken as it stands.
std::optional<PortName> ParseDeviceName(std::string_view device, PortNameFault* fault = nullptr);

// The device a port device name leads to, as ParsePortDevice reads the name:
// "COM1:" to "COM3:" through the port map, a path or a network serial server's name followed
// by ":" to that path or name (a malformed network name too, for the opener to refuse with its
// reason); nothing for any other name.
std::optional<std::string> ResolvePortDevice(const std::u16string& portDevice);

// Why a text is no port name, in the words of qelm-cli's messages ("control characters").
const char* PortNameFaultText(PortNameFault fault);

}  // namespace platform
