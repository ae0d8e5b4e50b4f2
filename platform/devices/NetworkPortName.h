#pragma once
// The names of serial lines offered on the network by a serial server (ser2net, a terminal
// server) with the telnet COM port option: "rfc2217://HOST:PORT" in the clear and
// "rfc2217+tls://HOST:PORT" inside TLS. HOST is a host name, an IPv4 address or an IPv6 literal
// in brackets ("[::1]"); PORT a TCP port from 1 to 65535. A host name that the network library
// would read as a word of its own address syntax ("ipv4", "ipv6", "ipv6n4", "tcp", ...) is not
// a host name here.
//
// Promises on failure: a text that is not such a name in every part gives nothing; a name that
// passes is safe to hand to the network library's address syntax (no separators, quotes or
// blanks can reach it).

#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct NetworkPortName {
  bool tls = false;
  std::string host;  // without the brackets of an IPv6 literal
  std::string port;  // decimal, 1 to 65535
  bool ipv6 = false;

  // "HOST:PORT" as a person writes it, brackets included for IPv6.
  std::string Endpoint() const;
  // The name again, in its normal form.
  std::string Name() const;
};

// True when the text begins like a network port name (it may still be malformed).
bool LooksLikeNetworkPort(std::string_view text);

std::optional<NetworkPortName> ParseNetworkPort(std::string_view text);

}  // namespace platform
