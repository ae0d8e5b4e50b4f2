#include "cli/SavePlan.h"

#include "platform/system/CodePage.h"
#include "radio/RadioTables.h"
#include "radio/StoreProgress.h"

namespace cli {

namespace {

bool IsHandle(int model, int device) {
  return model == radio::kModel2410 && device == radio::kHandleDeviceIndex;
}

// A set command as the register and value it sets; nothing for anything else.
void Add(std::u16string_view command, Registers* out) {
  std::string reg;
  int32_t value = 0;
  if (radio::ParseSetCommand(std::u16string(command), &reg, &value)) out->push_back({reg, value});
}

// The handle profile's complete set, as its store sends it (the link is the chosen one).
Registers HandleRegisters(int link) {
  Registers out;
  for (const radio::HandleRegister& r : radio::HandleProfileRegisters(link)) Add(r.command, &out);
  return out;
}

Registers ProfileOf(int model, bool usProfile) {
  Registers out;
  for (const radio::ProfileRegister& r : radio::ProfileRegisters(model, usProfile))
    Add(r.command, &out);
  return out;
}

// The name a person knows a register by, where it has one.
std::string SettingName(const std::string& reg) {
  if (reg == "wb") return "mode";
  if (reg == "wn") return "link";
  if (reg == "pe") return "band";
  if (reg == "wp") return "power";
  return reg;
}

std::string ModeWord(long v) {
  return v == 0 ? "Remote" : v == 1 ? "Base" : std::to_string(v);
}

std::string DeviceText(int device, const std::vector<std::string>& names) {
  if (device < 0) return "none";
  return std::to_string(device) +
         (device < static_cast<int>(names.size()) ? " " + names[device] : "");
}

}  // namespace

Registers SaveRegisters(int model, int mode, int link, int device, bool service, long band,
                        long power) {
  if (IsHandle(model, device)) return HandleRegisters(link);
  Registers out;
  if (mode == 0 || mode == 1) out.push_back({"wb", mode});
  out.push_back({"wn", link});
  if (service) {
    out.push_back({"pe", band});
    out.push_back({"wp", power});
  }
  for (const auto& r : ProfileOf(model, device < 2)) out.push_back(r);
  return out;
}

Registers ResetRegisters(int model, bool usProfile, bool internalRadio) {
  Registers out;
  Add(radio::MakerDefaultsFor(model, usProfile).bandCommand, &out);
  if (model == radio::kModel2400) Add(radio::kChannelAccessCommand, &out);
  for (const auto& r : ProfileOf(model, usProfile)) out.push_back(r);
  out.push_back({"wb", internalRadio ? 0 : 1});
  return out;
}

std::map<std::string, long> ImpliedRegisters(int model, int device, int link) {
  std::map<std::string, long> out;
  if (device < 0) return out;
  const Registers set =
      IsHandle(model, device) ? HandleRegisters(link) : ProfileOf(model, device < 2);
  for (const auto& [reg, value] : set) out[reg] = value;
  return out;
}

std::vector<PlanChange> PlanChanges(const PlanHeld& held, const PlanTarget& target,
                                    const std::vector<std::string>& deviceNames,
                                    std::vector<std::string>* assumed) {
  std::vector<PlanChange> out;
  const std::map<std::string, long> implied = ImpliedRegisters(held.model, held.device, held.link);
  const bool sameSet = target.device < 0 || ImpliedRegisters(held.model, target.device, 0) ==
                                                ImpliedRegisters(held.model, held.device, 0);
  bool rateTold = target.rate.empty() || target.rate == held.rate;
  bool deviceTold = sameSet || held.device == target.device;
  auto tellRate = [&] {
    if (rateTold) return;
    rateTold = true;
    out.push_back(
        {"rate", held.rate.empty() ? std::nullopt : std::optional(held.rate), target.rate, true});
  };
  auto tellDevice = [&] {
    if (deviceTold) return;
    deviceTold = true;
    out.push_back(
        {"device",
         held.device < 0 ? std::nullopt : std::optional(DeviceText(held.device, deviceNames)),
         DeviceText(target.device, deviceNames), false});
  };
  for (const auto& [reg, value] : target.registers) {
    // The rate and the device come after the mode and link, before the other registers.
    if (reg != "wb" && reg != "wn") {
      tellRate();
      tellDevice();
    }
    std::optional<long> from;
    if (auto h = held.held.find(reg); h != held.held.end()) {
      from = h->second;
    } else if (auto i = implied.find(reg); i != implied.end()) {
      from = i->second;
      if (assumed) assumed->push_back(reg);
    }
    if (from == value) continue;
    const bool mode = reg == "wb";
    out.push_back(
        {SettingName(reg),
         from ? std::optional(mode ? ModeWord(*from) : std::to_string(*from)) : std::nullopt,
         mode ? ModeWord(value) : std::to_string(value), !mode});
  }
  tellRate();
  tellDevice();
  return out;
}

std::string ChangesText(const std::vector<PlanChange>& changes) {
  std::string out;
  for (const PlanChange& c : changes)
    out += (out.empty() ? "" : ", ") + c.setting + " " + c.from.value_or("?") + " -> " + c.to;
  return out;
}

}  // namespace cli
