#pragma once
// The verify's judgement: what the radio answered to the reading's queries against what the
// store sent, register by register (mode, link, range, band, power and the profile registers
// that the reading asks for; the others are named as not verifiable), and the rate it answers at
// against the rate stored. The device entry the reading derives is no part of it: registers that
// the reading names otherwise (the handle profile's look-alike, two entries that store the same)
// are what was asked for.
//
// Plain comparison; nothing fails.

#include <map>
#include <string>
#include <vector>

namespace cli {

struct VerifyInput {
  std::map<std::string, long> sent;  // register to value, as the store sent them
  std::map<std::string, long> held;  // as the radio answered the verify's reading
  std::string rateStored, rateNow;
};

// The items that differ, named for a person ("link 5, not 4"), "" when none does.
std::string VerifyDifferences(const VerifyInput& in);

// The registers the store sent that the reading did not ask for (it has no query for them, or
// asks only under a condition): they cannot be compared, and are named, in order.
std::vector<std::string> NotVerifiable(const VerifyInput& in);

}  // namespace cli
