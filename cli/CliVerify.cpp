#include "cli/CliVerify.h"

namespace cli {

namespace {

const char* ItemName(const std::string& reg) {
  static const std::map<std::string, const char*> names = {
      {"wb", "mode"},  {"wn", "link"},           {"dx", "range"},        {"pe", "band"},
      {"wp", "power"}, {"wu", "point-to-point"}, {"pn", "max. remotes"}, {"pr", "retries"},
  };
  auto it = names.find(reg);
  return it == names.end() ? nullptr : it->second;
}

std::string Value(const std::string& reg, long v) {
  if (reg == "wb") return v == 0 ? "Remote" : v == 1 ? "Base" : std::to_string(v);
  return std::to_string(v);
}

}  // namespace

std::string VerifyDifferences(const VerifyInput& in) {
  std::string out;
  auto add = [&out](const std::string& item) { out += (out.empty() ? "" : ", ") + item; };
  if (in.rateNow != in.rateStored)
    add("rate " + (in.rateNow.empty() ? std::string("unknown") : in.rateNow) + ", not " +
        in.rateStored);
  for (const auto& [reg, held] : in.held) {
    auto sent = in.sent.find(reg);
    const char* name = ItemName(reg);
    if (sent == in.sent.end() || sent->second == held) continue;
    if (!name) name = reg.c_str();
    add(std::string(name) + " " + Value(reg, held) + ", not " + Value(reg, sent->second));
  }
  return out;
}

}  // namespace cli

namespace cli {

std::vector<std::string> NotVerifiable(const VerifyInput& in) {
  std::vector<std::string> out;
  for (const auto& [reg, value] : in.sent)
    if (!in.held.count(reg)) out.push_back(reg);
  return out;
}

}  // namespace cli
