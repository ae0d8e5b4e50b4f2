#pragma once
// What a fleet shows of its ports' waits for their radios: the latest wait notice of each port
// that waits now (see WaitNotice), as one line per port with what is left of its --wait bound
// counted down from when the notice came. On a terminal these are the status line's live lines;
// elsewhere only the first wait of each connect is written, once (each connect asks for the
// cable to be reconnected again; the rates it then walks through are not told).
//
// Nothing fails.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cli/WaitNotice.h"

namespace cli {

class FleetWaits {
 public:
  // A notice from the process `child` on `port` (shown as it is given) at nowMs. Returns the
  // line to write once where there are no live lines: for the first rate of a connect; else "".
  std::string Take(int child, const std::string& port, const WaitNotice& notice, uint64_t nowMs);
  // The process has ended: its port waits no more.
  void Ended(int child) { waits_.erase(child); }
  // One line per waiting port, in the order the processes were started, as of nowMs, with the
  // rate and what is left of the bound at its head.
  std::vector<std::string> LiveLines(uint64_t nowMs) const;

 private:
  struct Wait {
    std::string port;
    WaitNotice notice;
    uint64_t seenMs = 0;
  };
  std::map<int, Wait> waits_;
};

}  // namespace cli
