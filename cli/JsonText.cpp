#include "cli/JsonText.h"

#include <set>
#include <vector>

namespace cli {

bool ParseJsonObject(const std::string& text, nlohmann::json* out, std::string* error) {
  using nlohmann::json;
  std::vector<std::set<std::string>> keys;  // the keys seen so far in each open object
  std::string refusal;
  auto check = [&](int depth, json::parse_event_t event, json& parsed) {
    if (!refusal.empty()) return false;
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        if (depth >= kMaxJsonDepth) refusal = "nested deeper than 32 levels";
        if (event == json::parse_event_t::object_start) keys.emplace_back();
        break;
      case json::parse_event_t::object_end:
        if (!keys.empty()) keys.pop_back();
        break;
      case json::parse_event_t::key:
        if (!keys.empty() && !keys.back().insert(parsed.get<std::string>()).second)
          refusal = "the key \"" + parsed.get<std::string>() + "\" appears twice";
        break;
      default:
        break;
    }
    return refusal.empty();
  };
  json value = json::parse(text, check, /*allow_exceptions=*/false);
  if (!refusal.empty()) return *error = refusal, false;
  if (value.is_discarded()) return *error = "not valid JSON", false;
  if (!value.is_object()) return *error = "not a JSON object", false;
  *out = std::move(value);
  return true;
}

}  // namespace cli
