#pragma once
// Opens the device behind a device name, whatever its kind: a network serial server for
// "rfc2217://" and "rfc2217+tls://" names (NetworkSerial.h, with QELM_TLS_CA for the TLS
// form), else a terminal device by its path (TermiosSerial.h). Above this, nobody knows which
// kind a port is.
//
// A server that did not answer in time is not asked again for a few seconds: the connect
// procedure's repeated openings then fail at once with the same reason, so that the whole
// procedure fails in about one connect bound instead of five.
//
// Promises on failure: nullptr with an errno value, and for a network device a short reason
// (FailureText) naming HOST:PORT; nothing throws.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/serial/SerialDevice.h"

namespace platform {

class DeviceOpener {
 public:
  std::unique_ptr<SerialDevice> Open(const std::string& device, int* lastError);
  // Why the last Open failed, when there is more to say than the errno value; else empty.
  const std::string& FailureText() const { return failure_; }

 private:
  std::string failure_;
  std::string warnedConsole_;
  std::string unanswered_;  // the network name that last timed out
  int64_t unansweredUntilUs_ = 0;
};

// The PEM file QELM_TLS_CA names, or empty for the system's trust store.
std::string TlsCaFile();

}  // namespace platform
