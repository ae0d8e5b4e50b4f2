#pragma once
// Opens the device behind a device name, whatever its kind: a network serial server for
// "rfc2217://" and "rfc2217+tls://" names (NetworkSerial.h, with QELM_TLS_CA, QELM_TLS_CERT and
// QELM_TLS_KEY for the TLS form), else a terminal device by its path (TermiosSerial.h). Above
// this, nobody knows which kind a port is.
//
// A connect procedure (ConnectProcedure.h) opens a port several times. For a network name all its
// connecting together stays within one bound: max(3 s, 6 times the first round trip measured),
// at most 20 s; each opening gets what is left. Before that round trip is known, the first
// opening may take up to 3 times what its connection took to open (two round trips at least); the
// bound is then never less than what the first opening took and two round trips more, so that its
// line setting fits. A network opening that failed, for whatever reason, is not tried again within
// the procedure (nor within 5 s outside one): the later openings fail at once with the same reason.
// A refused certificate, or a TLS file that cannot be used, stays refused for the rest of the run.
//
// On Windows there are no network devices in this version: a network name is refused with a
// reason that says so, and a COM port's device ("\\.\COMn") opens through the system's comm
// API (Win32Serial.h).
//
// Promises on failure: nullptr with an errno value, and for a network device a short reason
// (FailureText) naming HOST:PORT; nothing throws.

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/devices/SerialDevice.h"
#ifndef _WIN32
#include "platform/devices/NetworkSerial.h"
#endif

namespace platform {

class DeviceOpener {
 public:
  static constexpr uint32_t kMinConnectBudgetMs = 3000;
  static constexpr uint32_t kMaxConnectBudgetMs = 20000;
  static constexpr uint32_t kRoundTripsPerBudget = 6;

  std::unique_ptr<SerialDevice> Open(const std::string& device, int* lastError);
  // Why the last Open failed, when there is more to say than the errno value; else empty.
  const std::string& FailureText() const { return failure_; }
  // The bound of a whole procedure's connecting, as it stands now.
  uint32_t ConnectBudgetMs() const;

 private:
  struct Failure {
    int error = 0;
    std::string why;
    int64_t untilUs = 0;  // 0: for the rest of the run
  };
#ifndef _WIN32
  std::unique_ptr<SerialDevice> OpenNetwork(const NetworkPortName& name, int* lastError);
  // Follows the process's connect procedure: a new one starts its bound afresh and forgets
  // the failures that were not final; outside one, a reopen (at a new rate) has the whole
  // bound and failures stand for a few seconds.
  void FollowProcedure();
#endif

  std::string failure_;
#ifndef _WIN32
  std::string warnedConsole_;
  std::map<std::string, Failure> failures_;  // by network name
  // What this procedure's openings have spent connecting (shared with the devices, whose
  // first line setting is part of their connect).
  std::shared_ptr<NetworkSerial::ConnectBudget> budget_ =
      std::make_shared<NetworkSerial::ConnectBudget>();
#endif
  int64_t firstRoundTripUs_ = 0;
  int64_t firstOpeningUs_ = 0;  // how long the opening that measured it took
  uint64_t procedure_ = 0;
};

}  // namespace platform
