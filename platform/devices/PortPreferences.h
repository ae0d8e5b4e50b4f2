#pragma once
// The preferences file's Ports group as a source of the port map (PortMap.h): COM1=... to
// COM3=... under the tool's key, each a device path or a network port name. A unit of its own
// so that only the dialog program, which has the preferences store's library anyway, reads it;
// qelm-cli maps its ports without it and stays free of that library.
//
// Nothing fails: a missing file, group or value, a value too long or not plain printable
// ASCII, is no entry.

#include <string>

namespace platform {

// The device the Ports group gives COMn, or empty.
std::string PortFromPreferences(int n);
// Makes the port map read the Ports group from now on.
void UsePortPreferences();

}  // namespace platform
