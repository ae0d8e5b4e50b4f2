#pragma once
// A radio's settings kept in a file, as "qelm-cli read --json" prints them, and applied by
// "save --profile FILE": the device, link, mode and rate, and in service mode the band and
// power. What the command line gives itself wins over the file.
//
// A profile is strict: one JSON object whose setting keys carry exactly the types and values
// that read --json writes (null for a setting leaves the radio's value). The report's other
// keys are accepted and ignored; any other key, a key given twice, a fleet's summary object,
// a report of a job that failed, or a wrongly typed or out-of-range value is refused, naming
// the key, before any port is opened. The file is read as ReadInputText reads it.
//
// Promises on failure: false with a one-line reason; the options are then left as they were.

#include <string>

#include "cli/CliOptions.h"

namespace cli {

bool ApplyProfile(const std::string& path, CliOptions* options, std::string* error);
// The same for a profile's text already read; source names it in messages.
bool ApplyProfileText(const std::string& text, const std::string& source, CliOptions* options,
                      std::string* error);

}  // namespace cli
