#include "sim/RadioFault.h"

#include <iterator>

namespace sim {

namespace {
struct Named {
  RadioFault fault;
  const char* name;
};
constexpr Named kNames[] = {
    {RadioFault::kNone, "none"},       {RadioFault::kNoPrompt, "no-prompt"},
    {RadioFault::kSilence, "silence"}, {RadioFault::kEndlessTalk, "endless-talk"},
    {RadioFault::kGarbage, "garbage"}, {RadioFault::kSlow, "slow"},
    {RadioFault::kVanish, "vanish"},
};
}  // namespace

bool ParseFault(std::string_view name, RadioFault* fault) {
  for (const Named& n : kNames) {
    if (name == n.name) {
      *fault = n.fault;
      return true;
    }
  }
  return false;
}

const char* FaultName(RadioFault fault) {
  for (const Named& n : kNames)
    if (n.fault == fault) return n.name;
  return "none";
}

}  // namespace sim
