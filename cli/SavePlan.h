#pragma once
// What a save or a reset would change on a radio, judged from one reading: the registers the
// store would send (in the order it sends them) and the rate it would switch to, against what
// the reading parsed. A register the reading does not ask for (pw always; wu, pn and pr outside
// the handle detection; most of the handle profile's own set) is taken as the device entry the
// reading derived implies, and named as assumed; with no such entry it is unknown.
//
// Two device entries that store the same registers (entries 0 and 1) are no change. The plan
// is what lets a save that would change nothing skip its store ("unchanged"), and what --plan
// prints. Plain computation on values; nothing fails.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cli {

// One setting that a store would change: "link" from "0" to "5". The mode is a word, the
// device its number and name; everything else a number. An unknown `from` is unset.
struct PlanChange {
  std::string setting;
  std::optional<std::string> from;
  std::string to;
  bool number = true;  // from and to are numbers (JSON shows them so)
};

using Registers = std::vector<std::pair<std::string, long>>;

// What the reading found.
struct PlanHeld {
  int model = 0;
  std::string rate;                  // the rate the radio answers at
  std::map<std::string, long> held;  // register values as the reading parsed them
  int device = -1;                   // the device entry the reading derived
  int link = -1;
};

// What the store would send.
struct PlanTarget {
  Registers registers;  // in the order they go out
  std::string rate;     // the rate the radio would answer at
  int device = -1;      // the device entry the registers belong to (-1: none, as for a reset)
};

// The registers a save sends for these choices: the mode (0 or 1; otherwise none), the link,
// band and power in service mode, then the device entry's profile registers; for the handle
// profile (model 2410, entry 3) its own complete set instead.
Registers SaveRegisters(int model, int mode, int link, int device, bool service, long band,
                        long power);
// The registers a reset sets after the maker's reset: the band, the channel access mode of
// model 2400, the profile registers of the variant the reading found, the mode.
Registers ResetRegisters(int model, bool usProfile, bool internalRadio);
// The register values a device entry stands for (its profile registers; the handle profile's
// whole set); empty for an unknown entry.
std::map<std::string, long> ImpliedRegisters(int model, int device, int link);

// The changes, in the order of the store's registers (the rate after link and mode, the device
// before its registers). *assumed gets the registers whose `from` is taken as the device entry
// implies, in order.
std::vector<PlanChange> PlanChanges(const PlanHeld& held, const PlanTarget& target,
                                    const std::vector<std::string>& deviceNames,
                                    std::vector<std::string>* assumed);

// "link 0 → 5, rate 115200 → 19200, pw ? → 52", or "" for none.
std::string ChangesText(const std::vector<PlanChange>& changes);

}  // namespace cli
