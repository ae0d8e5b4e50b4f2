#pragma once
// JSON read by qelm-cli (a profile, a fleet's record line), through nlohmann-json, with the
// rules the library leaves to its user: a key that appears twice in one object is refused
// (the library would keep the last one silently), and nesting deeper than 32 levels is refused.
//
// Promises on failure: false with a one-line reason; nothing throws.

#include <nlohmann/json.hpp>
#include <string>

namespace cli {

constexpr int kMaxJsonDepth = 32;

// One whole JSON object, nothing but white space around it.
bool ParseJsonObject(const std::string& text, nlohmann::json* out, std::string* error);

}  // namespace cli
