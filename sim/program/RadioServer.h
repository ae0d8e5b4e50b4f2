#pragma once
// The loop of qelm-radio-sim: one RadioModem served in real time on the radio's end of a
// pseudo-terminal. It hears what the program writes (at the rate the program's end is set
// to), follows the program's opens and closes of its end, sends the radio's bytes when they
// are due, takes SIGUSR1 or Enter on standard input as the cable reconnected, writes the
// stored state on every store, and reports what happens on standard error unless told to be
// quiet.
//
// Promises on failure: Run returns 1 when it cannot wait for the line (poll fails), 0 when a
// signal ends it or the radio vanishes (the pseudo-terminal is then closed). A state file
// that cannot be written is reported and the radio goes on.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/system/Clock.h"
#include "sim/RadioModem.h"
#include "sim/program/PtyLine.h"
#include "sim/program/SimOptions.h"

namespace sim {

class RadioServer {
 public:
  RadioServer(const SimOptions& options, PtyLine& pty);

  // Runs until a signal read from signalFd ends it or the radio vanishes; the exit status.
  int Run(int signalFd);
  // Writes the stored state to the state file, when there is one and (unless forced) a store
  // has happened since the last write.
  void SaveIfAsked(bool force);

 private:
  struct Log {
    bool quiet = false;
    bool verbose = false;
    void Say(const std::string& text) const;
    void Detail(const std::string& text) const;
  };

  void Serve(uint64_t now);
  uint64_t UntilNextEvent(uint64_t now);
  bool ReadKeys();
  void LogReceived();

  const SimOptions& options_;
  PtyLine& pty_;
  RadioModem radio_;
  platform::SteadyClock clock_;
  Log log_;
  bool peerOpen_ = false;
  uint32_t hostBaud_ = 0;  // the program's rate when the line was last looked at
  std::string pending_;
  int restarts_ = 0;
  int savedStores_ = 0;
  size_t loggedBytes_ = 0, loggedLines_ = 0;
};

}  // namespace sim
