#pragma once
// What tells two names of one device apart from two devices: "/dev/ttyUSB0", a by-id link to
// it and "/dev/../dev/ttyUSB0" are one device. A path to a character device is known by its
// device number, any other existing path by its real path. A network serial server's line is
// known by the address its host name resolves to and its port, whatever the form of the name
// (with or without TLS, a host name or its address); any other name by its text.
//
// Promises on failure: nothing fails; a path that cannot be looked at, or a host name that
// does not resolve, is known by its text.

#include <string>

#include "platform/devices/NetworkPortName.h"

namespace platform {

std::string DeviceKey(const std::string& device);

// "net:ADDRESS,PORT": of the host's addresses the first IPv4 one in text order, else the first
// IPv6 one,
// so that "localhost" and "127.0.0.1" (and "[::1]" on a host without IPv4 loopback) meet.
// The name's own text when the host does not resolve.
std::string NetworkDeviceKey(const NetworkPortName& name);

}  // namespace platform
