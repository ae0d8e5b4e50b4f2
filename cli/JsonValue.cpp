#include "cli/JsonValue.h"

#include <cmath>
#include <cstdlib>

namespace cli {

namespace {

constexpr int kMaxDepth = 32;

class Reader {
 public:
  explicit Reader(const std::string& text) : s_(text) {}

  bool Whole(JsonValue* v) {
    if (!Value(v, 0)) return false;
    Space();
    return i_ == s_.size();
  }

 private:
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
      ++i_;
  }
  bool Word(const char* w) {
    size_t n = std::char_traits<char>::length(w);
    if (s_.compare(i_, n, w) != 0) return false;
    i_ += n;
    return true;
  }
  static void Utf8(unsigned cp, std::string* out) {
    if (cp < 0x80) {
      *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      *out += static_cast<char>(0xC0 | (cp >> 6));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *out += static_cast<char>(0xE0 | (cp >> 12));
      *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | (cp >> 18));
      *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  bool Hex4(unsigned* cp) {
    if (i_ + 4 > s_.size()) return false;
    *cp = 0;
    for (int k = 0; k < 4; ++k) {
      char c = s_[i_++];
      *cp <<= 4;
      if (c >= '0' && c <= '9')
        *cp |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        *cp |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        *cp |= static_cast<unsigned>(c - 'A' + 10);
      else
        return false;
    }
    return true;
  }
  bool String(std::string* out) {
    if (i_ >= s_.size() || s_[i_] != '"') return false;
    ++i_;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        *out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          *out += e;
          break;
        case 'b':
          *out += '\b';
          break;
        case 'f':
          *out += '\f';
          break;
        case 'n':
          *out += '\n';
          break;
        case 'r':
          *out += '\r';
          break;
        case 't':
          *out += '\t';
          break;
        case 'u': {
          unsigned cp = 0;
          if (!Hex4(&cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(i_, 2, "\\u") == 0) {
            i_ += 2;
            unsigned low = 0;
            if (!Hex4(&low) || low < 0xDC00 || low >= 0xE000) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          Utf8(cp, out);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }
  bool Value(JsonValue* v, int depth) {
    if (depth > kMaxDepth) return false;
    Space();
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    if (c == '{') {
      ++i_;
      v->kind = JsonValue::kObject;
      Space();
      if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
      for (;;) {
        Space();
        std::string name;
        if (!String(&name)) return false;
        Space();
        if (i_ >= s_.size() || s_[i_++] != ':') return false;
        if (!Value(&v->members[name], depth + 1)) return false;
        Space();
        if (i_ >= s_.size()) return false;
        if (s_[i_] == '}') return ++i_, true;
        if (s_[i_++] != ',') return false;
      }
    }
    if (c == '[') {
      ++i_;
      v->kind = JsonValue::kArray;
      Space();
      if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
      for (;;) {
        v->items.emplace_back();
        if (!Value(&v->items.back(), depth + 1)) return false;
        Space();
        if (i_ >= s_.size()) return false;
        if (s_[i_] == ']') return ++i_, true;
        if (s_[i_++] != ',') return false;
      }
    }
    if (c == '"') {
      v->kind = JsonValue::kString;
      return String(&v->text);
    }
    if (Word("true")) return v->kind = JsonValue::kBool, v->boolean = true, true;
    if (Word("false")) return v->kind = JsonValue::kBool, v->boolean = false, true;
    if (Word("null")) return v->kind = JsonValue::kNull, true;
    const char* start = s_.c_str() + i_;
    char* end = nullptr;
    if (c != '-' && (c < '0' || c > '9')) return false;
    v->number = std::strtod(start, &end);
    if (end == start || !std::isfinite(v->number)) return false;
    v->kind = JsonValue::kNumber;
    i_ += static_cast<size_t>(end - start);
    return true;
  }

  const std::string& s_;
  size_t i_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Get(const std::string& name) const {
  if (kind != kObject) return nullptr;
  auto it = members.find(name);
  return it == members.end() ? nullptr : &it->second;
}

std::optional<int> JsonValue::Int(const std::string& name) const {
  const JsonValue* v = Get(name);
  if (!v || v->kind != kNumber || v->number != std::floor(v->number) || std::fabs(v->number) > 1e9)
    return std::nullopt;
  return static_cast<int>(v->number);
}

std::optional<std::string> JsonValue::Text(const std::string& name) const {
  const JsonValue* v = Get(name);
  if (!v || v->kind != kString) return std::nullopt;
  return v->text;
}

std::optional<bool> JsonValue::Bool(const std::string& name) const {
  const JsonValue* v = Get(name);
  if (!v || v->kind != kBool) return std::nullopt;
  return v->boolean;
}

bool ParseJson(const std::string& text, JsonValue* value) {
  *value = JsonValue{};
  return Reader(text).Whole(value);
}

}  // namespace cli
