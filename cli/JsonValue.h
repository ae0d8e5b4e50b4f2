#pragma once
// A small reader for the JSON this program writes itself: a profile saved by "read --json"
// and the record a fleet's process hands to the fleet. Objects, arrays, strings (with their
// escapes, \u included), numbers, true, false and null; nothing more is needed.
//
// Promises on failure: Parse returns false for anything that is not one whole JSON value
// (trailing text, a nesting deeper than 32, a bad escape); nothing throws.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cli {

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;  // UTF-8
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  // The member of that name, or nullptr (also when this is not an object).
  const JsonValue* Get(const std::string& name) const;
  // An integer member, or nothing when it is missing, null or not a whole number.
  std::optional<int> Int(const std::string& name) const;
  std::optional<std::string> Text(const std::string& name) const;
  std::optional<bool> Bool(const std::string& name) const;
};

bool ParseJson(const std::string& text, JsonValue* value);

}  // namespace cli
