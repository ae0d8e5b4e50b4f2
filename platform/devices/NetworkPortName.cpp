#include "platform/devices/NetworkPortName.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace platform {

namespace {

constexpr std::string_view kPlain = "rfc2217://";
constexpr std::string_view kTls = "rfc2217+tls://";
// Longest host name DNS allows.
constexpr size_t kMaxHost = 253;

bool StartsWith(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
    return std::tolower(static_cast<unsigned char>(t)) == p;
  });
}

// Words the network library reads as part of its address syntax (a protocol or an address
// family) when they stand where a host name does: "ipv4" would not be looked up as a host but
// taken as "any IPv4 address", so such a name could reach another host than the one written.
bool LibraryKeyword(std::string_view h) {
  static constexpr std::string_view kKeywords[] = {"ipv4", "ipv6", "ipv6n4",    "tcp",    "udp",
                                                   "sctp", "unix", "unixdgram", "unixseq"};
  return std::any_of(std::begin(kKeywords), std::end(kKeywords),
                     [&](std::string_view k) { return h.size() == k.size() && StartsWith(h, k); });
}

bool HostName(std::string_view h) {
  if (h.empty() || h.size() > kMaxHost || h.front() == '-' || h.front() == '.') return false;
  if (LibraryKeyword(h)) return false;
  return std::all_of(h.begin(), h.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
  });
}

bool Ipv6Literal(std::string_view h) {
  if (h.size() < 2 || h.size() > 45 || h.find(':') == std::string_view::npos) return false;
  return std::all_of(h.begin(), h.end(), [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
  });
}

bool TcpPortNumber(std::string_view p) {
  if (p.empty() || p.size() > 5 || p.front() == '0') return false;
  if (!std::all_of(p.begin(), p.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  return std::stoul(std::string(p)) <= 65535;
}

}  // namespace

std::string NetworkPortName::Endpoint() const {
  return (ipv6 ? "[" + host + "]" : host) + ":" + port;
}

std::string NetworkPortName::Name() const {
  return std::string(tls ? kTls : kPlain) + Endpoint();
}

bool LooksLikeNetworkPort(std::string_view text) {
  return StartsWith(text, kPlain) || StartsWith(text, kTls);
}

std::optional<NetworkPortName> ParseNetworkPort(std::string_view text) {
  NetworkPortName name;
  if (StartsWith(text, kPlain)) {
    text.remove_prefix(kPlain.size());
  } else if (StartsWith(text, kTls)) {
    name.tls = true;
    text.remove_prefix(kTls.size());
  } else {
    return std::nullopt;
  }
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view host = text.substr(0, colon), port = text.substr(colon + 1);
  if (!host.empty() && host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return std::nullopt;
    host = host.substr(1, host.size() - 2);
    if (!Ipv6Literal(host)) return std::nullopt;
    name.ipv6 = true;
  } else if (!HostName(host)) {
    return std::nullopt;
  }
  if (!TcpPortNumber(port)) return std::nullopt;
  name.host = std::string(host);
  name.port = std::string(port);
  return name;
}

}  // namespace platform
