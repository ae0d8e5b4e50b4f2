#pragma once
// The connect procedure that is running in this process, as every device opener sees it: the
// procedure opens a port several times (rates, attempts) and its openings share one bound and
// one memory of failures (DeviceOpener.h), whichever provider wraps the opener. Also what an
// opening that succeeded leaves for the procedure's log (where a TLS server's certificate was
// checked against).
//
// Nothing here fails. One thread runs procedures.

#include <cstdint>
#include <string>

namespace platform {

class ConnectProcedure {
 public:
  static void Begin();
  static void End();
  // The running procedure's number; 0 when none runs.
  static uint64_t Current();
  // What the log should say of the last opening that succeeded; Take empties it.
  static void Note(std::string text);
  static std::string TakeNote();
};

}  // namespace platform
