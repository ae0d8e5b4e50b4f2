#include "cli/CliProfile.h"

#include <fstream>
#include <sstream>

#include "cli/JsonValue.h"
#include "platform/system/CodePage.h"
#include "radio/RadioTables.h"

namespace cli {

namespace {

constexpr size_t kMaxProfileBytes = 64 * 1024;

}  // namespace

bool ApplyProfile(const std::string& path, CliOptions* o, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (!in || !(text << in.rdbuf()) || text.str().size() > kMaxProfileBytes) {
    *error = "cannot read the profile '" + path + "'";
    return false;
  }
  JsonValue v;
  if (!ParseJson(text.str(), &v) || v.kind != JsonValue::kObject) {
    *error = "the profile '" + path + "' is not one JSON object as 'read --json' writes it";
    return false;
  }
  if (v.Int("status").value_or(0) != 0) {
    *error = "the profile '" + path + "' comes from a job that failed";
    return false;
  }
  CliOptions p = *o;
  if (const JsonValue* d = v.Get("device"); d && d->kind == JsonValue::kObject) {
    if (auto name = d->Text("name"))
      p.deviceName = platform::Utf8ToWide(*name);
    else if (auto number = d->Int("number"))
      p.device = *number;
  }
  if (auto link = v.Int("link")) p.link = *link;
  if (auto mode = v.Text("mode")) {
    if (*mode != "Remote" && *mode != "Base") {
      *error = "the profile's mode '" + *mode + "' is neither Remote nor Base";
      return false;
    }
    p.mode = *mode == "Base" ? 1 : 0;
  }
  if (auto rate = v.Int("rate")) p.newRate = platform::Utf8ToWide(std::to_string(*rate));
  if (o->service) {
    const int model = v.Int("model").value_or(radio::kModel2410);
    if (const JsonValue* b = v.Get("band"); b && b->Int("value"))
      p.bandEntry = radio::BandEntry(model, *b->Int("value"));
    if (const JsonValue* w = v.Get("power"); w && w->Int("value")) p.power = *w->Int("value");
  }
  if ((p.link && (*p.link < 0 || *p.link >= radio::kLinkCount)) ||
      (p.newRate && RateIndex(*p.newRate) < 0) || (p.power && (*p.power < 0 || *p.power > 1)) ||
      (p.device && (*p.device < 0 || *p.device > radio::kHandleDeviceIndex))) {
    *error = "the profile '" + path + "' holds a value outside what a save can store";
    return false;
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
