#include "cli/CliProfile.h"

#include <set>

#include "cli/InputText.h"
#include "cli/JsonText.h"
#include "platform/system/CodePage.h"
#include "radio/RadioTables.h"

namespace cli {

namespace {

using nlohmann::json;

// The keys of a report that are no setting: taken and ignored.
const std::set<std::string> kReportKeys = {
    "job",     "port",   "status",   "result",         "phase",     "model", "firmware",
    "stored",  "failed", "verified", "not_verifiable", "note",      "error", "seconds",
    "started", "ended",  "changes",  "path_ms",        "link_asked"};

class Reader {
 public:
  Reader(const json& v, const std::string& source, std::string* error)
      : v_(v), source_(source), error_(error) {}

  // A refusal naming the key.
  bool Refuse(const std::string& key, const std::string& why) {
    *error_ = "the profile '" + source_ + "': \"" + Quoted(key, 40) + "\" " + why;
    return false;
  }
  const json* Get(const char* key) const {
    auto it = v_.find(key);
    return it == v_.end() || it->is_null() ? nullptr : &*it;
  }
  // An integer (no fraction, no exponent beyond what a whole number allows) within bounds.
  bool Int(const json& j, const std::string& key, long low, long high, long* out) {
    if (!j.is_number_integer()) return Refuse(key, "must be a whole number");
    const long value =
        j.is_number_unsigned()
            ? static_cast<long>(std::min<uint64_t>(j.get<uint64_t>(), uint64_t{1} << 40))
            : j.get<long>();
    if (value < low || value > high)
      return Refuse(key, "must be from " + std::to_string(low) + " to " + std::to_string(high));
    *out = value;
    return true;
  }
  // An object with exactly these keys (each may be checked further by the caller).
  bool Object(const json& j, const std::string& key, std::initializer_list<const char*> keys) {
    if (!j.is_object()) return Refuse(key, "must be an object");
    for (const auto& [k, value] : j.items()) {
      bool known = false;
      for (const char* allowed : keys) known = known || k == allowed;
      if (!known) return Refuse(key + "." + k, "is no key of a profile");
    }
    for (const char* needed : keys)
      if (!j.contains(needed)) return Refuse(key + "." + needed, "is missing");
    return true;
  }

 private:
  const json& v_;
  std::string source_;
  std::string* error_;
};

}  // namespace

bool ApplyProfile(const std::string& path, CliOptions* o, std::string* error) {
  std::string text;
  if (!ReadInputText(path, "the profile", &text, error)) return false;
  return ApplyProfileText(text, path, o, error);
}

bool ApplyProfileText(const std::string& text, const std::string& source, CliOptions* o,
                      std::string* error) {
  json v;
  std::string why;
  if (!ParseJsonObject(text, &v, &why)) {
    *error = "the profile '" + Quoted(source) +
             "' is not one JSON object as 'read --json' writes it: " + Quoted(why);
    return false;
  }
  Reader r(v, Quoted(source), error);
  if (v.contains("summary")) return r.Refuse("summary", "marks a fleet's summary, not a profile");
  for (const auto& [key, value] : v.items()) {
    const bool setting = key == "device" || key == "link" || key == "mode" || key == "rate" ||
                         key == "band" || key == "power";
    if (!setting && !kReportKeys.count(key)) return r.Refuse(key, "is no key of a profile");
  }
  long number = 0;
  if (const json* status = r.Get("status")) {
    if (!r.Int(*status, "status", 0, 255, &number)) return false;
    if (number != 0) return r.Refuse("status", "says the job that wrote it failed");
  }
  long model = radio::kModel2410;
  if (const json* m = r.Get("model")) {
    if (!m->is_number_integer() ||
        (m->get<long>() != radio::kModel2400 && m->get<long>() != radio::kModel2410))
      return r.Refuse("model", "must be 2400 or 2410");
    model = m->get<long>();
  }

  CliOptions p = *o;
  if (const json* d = r.Get("device")) {
    if (!r.Object(*d, "device", {"number", "name"})) return false;
    if (!r.Int((*d)["number"], "device.number", 0, radio::kHandleDeviceIndex, &number))
      return false;
    const json& name = (*d)["name"];
    if (!name.is_string()) return r.Refuse("device.name", "must be a text");
    // The name says which entry is meant; it must be one of the model's.
    bool known = false;
    for (const auto& entry : radio::DeviceList(static_cast<int32_t>(model)))
      known = known || platform::WideToUtf8(std::u16string(entry.text)) == name.get<std::string>();
    if (!known) return r.Refuse("device.name", "is no device of model " + std::to_string(model));
    p.deviceName = platform::Utf8ToWide(name.get<std::string>());
    p.device.reset();
  }
  if (const json* l = r.Get("link")) {
    if (!r.Int(*l, "link", 0, radio::kLinkCount - 1, &number)) return false;
    p.link = static_cast<int>(number);
  }
  if (const json* m = r.Get("mode")) {
    if (!m->is_string() || (*m != "Remote" && *m != "Base"))
      return r.Refuse("mode", "must be \"Remote\" or \"Base\"");
    p.mode = *m == "Base" ? 1 : 0;
  }
  if (const json* rate = r.Get("rate")) {
    if (!rate->is_number_integer() ||
        RateIndex(platform::Utf8ToWide(std::to_string(rate->get<long>()))) < 0)
      return r.Refuse("rate", "must be one of 4800, 9600, 14400, 19200, 57600, 115200 (a number)");
    p.newRate = platform::Utf8ToWide(std::to_string(rate->get<long>()));
  }
  // Band and power are settings only in service mode; otherwise they are part of the report.
  if (o->service) {
    if (const json* b = r.Get("band")) {
      if (!r.Object(*b, "band", {"value", "name"})) return false;
      const long worldwide = radio::BandValue(static_cast<int32_t>(model), 0);
      const long usa = radio::BandValue(static_cast<int32_t>(model), 1);
      if (!(*b)["value"].is_number_integer() ||
          ((*b)["value"].get<long>() != worldwide && (*b)["value"].get<long>() != usa))
        return r.Refuse("band.value", "must be " + std::to_string(worldwide) + " or " +
                                          std::to_string(usa) + " for model " +
                                          std::to_string(model));
      if (!(*b)["name"].is_string()) return r.Refuse("band.name", "must be a text");
      p.bandEntry = radio::BandEntry(static_cast<int32_t>(model), (*b)["value"].get<int>());
    }
    if (const json* w = r.Get("power")) {
      if (!r.Object(*w, "power", {"value", "name"})) return false;
      if (!r.Int((*w)["value"], "power.value", 0, 1, &number)) return false;
      if (!(*w)["name"].is_string()) return r.Refuse("power.name", "must be a text");
      p.power = static_cast<int>(number);
    }
  }
  // What the command line gave itself stays.
  if (!o->device && o->deviceName.empty()) {
    o->device = p.device;
    o->deviceName = p.deviceName;
  }
  if (!o->link) o->link = p.link;
  if (!o->mode) o->mode = p.mode;
  if (!o->newRate) o->newRate = p.newRate;
  if (!o->bandEntry) o->bandEntry = p.bandEntry;
  if (!o->power) o->power = p.power;
  return true;
}

}  // namespace cli
