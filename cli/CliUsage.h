#pragma once
// The usage texts of qelm-cli: one per command, and the overview. Printed on standard output
// for "help", "--help" and "-h"; a usage error only points to them.

#include <string>

namespace cli {

// The usage of a command ("read", "save", "reset", "fleet"), or the overview for any other.
std::string UsageText(const std::string& command);
// Whether a word names a command that has a usage of its own.
bool HasUsage(const std::string& command);

}  // namespace cli
