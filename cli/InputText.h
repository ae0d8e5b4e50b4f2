#pragma once
// Text that a person hands qelm-cli in a file (a ports file, a profile) or on its command
// line, taken with care: a file is read only when it is a regular file of at most
// kMaxInputBytes (a FIFO or device is refused at once, never waited on), it must be UTF-8, and
// a leading byte-order mark is skipped. Whatever such text is quoted in a message is made safe
// to show: control characters escaped, and cut short when it is long.
//
// Promises on failure: false with a one-line reason that names the file; nothing is kept.

#include <cstddef>
#include <string>

namespace cli {

constexpr size_t kMaxInputBytes = 1024 * 1024;

// what: "the ports file", "the profile".
bool ReadInputText(const std::string& path, const std::string& what, std::string* text,
                   std::string* error);

// Checks text held in memory as ReadInputText checks a file's, and skips the byte-order mark.
bool TakeInputText(std::string* text, std::string* reason);

// Whether the bytes are UTF-8 (no overlong forms, no surrogates); the offset of the first
// bad byte otherwise.
bool IsUtf8(const std::string& bytes, size_t* badAt);

// A text from outside as a message may quote it: at most `limit` characters, control
// characters escaped.
std::string Quoted(const std::string& text, size_t limit = 80);

}  // namespace cli
