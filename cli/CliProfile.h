#pragma once
// A radio's settings kept in a file, as "qelm-cli read --json" prints them, and applied by
// "save --profile FILE": the device, link, mode and rate, and in service mode the band and
// power. What the command line gives itself wins over the file.
//
// Promises on failure: false with a one-line reason for a file that cannot be read, is not
// one JSON object, comes from a job that failed, or holds a value no save can store; the
// options are then left as they were.

#include <string>

#include "cli/CliOptions.h"

namespace cli {

bool ApplyProfile(const std::string& path, CliOptions* options, std::string* error);

}  // namespace cli
