#pragma once
// What tells two names of one device apart from two devices: "/dev/ttyUSB0", a by-id link to
// it and "/dev/../dev/ttyUSB0" are one device. A path to a character device is known by its
// device number, any other existing path by its real path; a name that is not a path (a
// network serial server's address, say) by its text.
//
// Promises on failure: nothing fails; a path that cannot be looked at is known by its text.

#include <string>

namespace platform {

std::string DeviceKey(const std::string& device);

}  // namespace platform
