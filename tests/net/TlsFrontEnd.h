#pragma once
// A TLS front end on loopback in front of a plain server: socat's openssl-listen with the
// server's certificate, asking every client for a certificate of the CA given and refusing
// those without one (verify=1), as a site that wants its clients known would run it.

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>

#include "Ser2net.h"
#include "tests/Spawn.h"

namespace net_test {

class TlsFrontEnd {
 public:
  TlsFrontEnd(int targetPort, const std::string& cert, const std::string& key,
              const std::string& clientCa)
      : port_(FreePort()) {
    pid_ = test_support::Spawn({"socat",
                                "OPENSSL-LISTEN:" + std::to_string(port_) +
                                    ",bind=127.0.0.1,reuseaddr,fork,cert=" + cert + ",key=" + key +
                                    ",cafile=" + clientCa + ",verify=1",
                                "TCP:127.0.0.1:" + std::to_string(targetPort)});
    for (int i = 0; i < 500 && !Accepts(port_, false); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~TlsFrontEnd() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  TlsFrontEnd(const TlsFrontEnd&) = delete;
  TlsFrontEnd& operator=(const TlsFrontEnd&) = delete;
  int Port() const { return port_; }

 private:
  int port_;
  pid_t pid_ = -1;
};

}  // namespace net_test
