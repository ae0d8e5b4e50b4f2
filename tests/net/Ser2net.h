
#pragma once
// A real ser2net for the tests: started with a configuration file of the test's own that
// serves some device links (radio stand-ins' pseudo-terminals) on loopback TCP ports found
// free by binding to port 0, with the telnet COM port option, in the clear or with TLS. Also
// a throw-away certificate made by openssl, and a loopback listener that never says a word.

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/Spawn.h"

namespace net_test {

// A TCP port nobody listens on now, on the loopback address of the family.
inline int FreePort(bool ipv6 = false) {
  int s = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  sockaddr_storage a{};
  socklen_t len;
  if (ipv6) {
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&a);
    a6->sin6_family = AF_INET6;
    a6->sin6_addr = in6addr_loopback;
    len = sizeof *a6;
  } else {
    auto* a4 = reinterpret_cast<sockaddr_in*>(&a);
    a4->sin_family = AF_INET;
    a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    len = sizeof *a4;
  }
  ::bind(s, reinterpret_cast<sockaddr*>(&a), len);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  int port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                        : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
  ::close(s);
  return port;
}

inline bool Accepts(int port, bool ipv6) {
  int s = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  bool ok;
  if (ipv6) {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    a.sin6_port = htons(port);
    ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  } else {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ::close(s);
  return ok;
}

struct Tls {
  std::string key, cert;
};

// A self-signed certificate for localhost and 127.0.0.1, made in the folder.
inline Tls MakeCertificate(const std::string& folder, const std::string& name) {
  Tls t{folder + "/" + name + ".key", folder + "/" + name + ".crt"};
  std::string cmd =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
      "-addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout " +
      t.key + " -out " + t.cert + " >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) t = {};
  return t;
}

class Ser2net {
 public:
  // One accepter per device, in order; Port(i) is its TCP port.
  Ser2net(const std::string& folder, const std::string& name,
          const std::vector<std::string>& devices, bool ipv6 = false, const Tls* tls = nullptr)
      : Ser2net(folder, name, devices, ipv6, tls, true) {}
  // kickOldUser: a new client takes the line from the one that holds it (else it is told
  // "Port already in use" and sent away).
  Ser2net(const std::string& folder, const std::string& name,
          const std::vector<std::string>& devices, bool ipv6, const Tls* tls, bool kickOldUser)
      : ipv6_(ipv6) {
    const std::string config = folder + "/" + name + ".yaml";
    std::ofstream out(config);
    out << "%YAML 1.1\n---\n";
    for (size_t i = 0; i < devices.size(); ++i) {
      ports_.push_back(FreePort(ipv6));
      std::string stack = "telnet(rfc2217),";
      if (tls) stack += "ssl(key=" + tls->key + ",cert=" + tls->cert + "),";
      stack +=
          "tcp," + std::string(ipv6 ? "::1" : "127.0.0.1") + "," + std::to_string(ports_.back());
      out << "connection: &c" << i << "\n  accepter: " << stack << "\n  connector: serialdev,"
          << devices[i] << ",115200n81,local\n"
          << "  options:\n    kickolduser: " << (kickOldUser ? "true" : "false") << "\n";
    }
    out.close();
    std::vector<std::string> args = {
        "ser2net", "-n", "-u", "-c", config, "-P", folder + "/" + name + ".pid"};
    pid_ = test_support::Spawn(args);
    for (int i = 0; i < 500 && !ports_.empty() && !Accepts(ports_.back(), ipv6); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~Ser2net() {
    Signal(SIGCONT);
    Kill(SIGTERM);
  }
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;

  int Port(size_t i = 0) const { return ports_[i]; }
  std::string Name(size_t i = 0, bool tls = false) const {
    return std::string(tls ? "rfc2217+tls://" : "rfc2217://") + (ipv6_ ? "[::1]" : "127.0.0.1") +
           ":" + std::to_string(ports_[i]);
  }
  // Stops (SIGSTOP) or continues (SIGCONT) the server without ending it.
  void Signal(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
  }
  void Kill(int signal = SIGKILL) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  bool ipv6_;
  std::vector<int> ports_;
  pid_t pid_ = -1;
};

// Listens on loopback and completes connections (the kernel does that much) but never reads
// nor says anything: a server that never answers the telnet negotiation.
class SilentListener {
 public:
  SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 16);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~SilentListener() { ::close(fd_); }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace net_test
