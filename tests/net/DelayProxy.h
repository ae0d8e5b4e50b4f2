#pragma once
// A TCP proxy on loopback that delays everything by a fixed time in each direction, as a long
// network path would: each piece read is sent on once its delay has passed, in order, so the
// gaps between the pieces stay as they were. Serves connections one after another until
// destroyed.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace net_test {

class DelayProxy {
 public:
  DelayProxy(int targetPort, int delayMs) : target_(targetPort), delay_(delayMs) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 8);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { Serve(); });
  }
  ~DelayProxy() {
    stop_ = true;
    acceptor_.join();
    ::close(listen_);
  }
  int Port() const { return port_; }
  // How many connections have been taken so far.
  int Connections() const { return connections_; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Piece {
    Clock::time_point due;
    std::string bytes;
  };

  static sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
  }

  void Serve() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int client = ::accept(listen_, nullptr, nullptr);
      if (client < 0) continue;
      ++connections_;
      int server = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in a = Loopback(target_);
      if (::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(client);
        ::close(server);
        continue;
      }
      for (int fd : {client, server}) {
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      }
      std::thread up([=, this] { Forward(client, server); });
      std::thread down([=, this] { Forward(server, client); });
      up.join();
      down.join();
      ::close(client);
      ::close(server);
    }
  }

  // Until either end closes (or the proxy stops): what comes from `from` goes to `to`, late.
  void Forward(int from, int to) {
    std::deque<Piece> queue;
    bool open = true;
    while (!stop_ && (open || !queue.empty())) {
      int waitMs = 20;
      if (!queue.empty()) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(queue.front().due - Clock::now());
        waitMs = std::max<int>(0, std::min<int>(waitMs, left.count()));
      }
      pollfd p{from, static_cast<short>(open ? POLLIN : 0), 0};
      if (::poll(&p, 1, waitMs) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR))) {
        char buf[4096];
        ssize_t n = ::read(from, buf, sizeof buf);
        if (n <= 0)
          open = false;
        else
          queue.push_back({Clock::now() + std::chrono::milliseconds(delay_), std::string(buf, n)});
      }
      while (!queue.empty() && queue.front().due <= Clock::now()) {
        if (::send(to, queue.front().bytes.data(), queue.front().bytes.size(), MSG_NOSIGNAL) < 0)
          return;
        queue.pop_front();
      }
    }
    ::shutdown(to, SHUT_WR);
  }

  int target_, delay_, listen_ = -1, port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread acceptor_;
};

}  // namespace net_test
