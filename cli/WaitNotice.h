#pragma once
// The wait for an external radio, as a fleet's process tells it to its fleet and as a person
// reads it. A process of a fleet does not write its waiting lines itself: for each rate it
// waits at it sends a notice on standard output (the rate, how many rates this connect has
// waited at, what is left of the --wait bound), and one more when the connect waits no more;
// the fleet shows them, one line per port (see FleetStatus). A job of its own writes the
// same text on standard error, a line per rate.
//
// Nothing fails: a line that is not a notice is never taken for one.

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

struct WaitNotice {
  std::string rate;                // the rate waited at, "19200"
  int ratesTried = 0;              // in this connect, this one included
  std::optional<uint64_t> leftMs;  // what is left of the --wait bound; none without a bound
  bool over = false;               // the connect waits no more (a radio answered, or it ended)
};

std::string WaitNoticeLine(const WaitNotice& notice);
bool ParseWaitNoticeLine(const std::string& line, WaitNotice* notice);

// "Please disconnect, then reconnect the cable to the radio. Waiting for radio at 19200
// bps... (the 4th rate; 41 s of --wait left)"; the first rate goes without its number, and a
// wait without a bound without what is left.
std::string WaitingText(const std::string& rate, int ratesTried, std::optional<uint64_t> leftMs);
// The same with what changes first, for a line that a narrow terminal may cut: "Waiting for
// radio at 19200 bps... (the 4th rate; 41 s of --wait left) Please disconnect, then reconnect
// the cable to the radio."
std::string LiveWaitingText(const std::string& rate, int ratesTried,
                            std::optional<uint64_t> leftMs);

}  // namespace cli
