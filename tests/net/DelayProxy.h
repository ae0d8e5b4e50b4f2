#pragma once
// A TCP proxy on loopback between a client and a server, for what a network path does to a
// connection. Each piece read from either side is shown to a hook, which says how long the
// piece is held back (a long path, with jitter) and whether the connection is cut once the piece
// (which the hook may shorten) has been passed on. Pieces of one direction always leave in the
// order they came, so the gaps between them stay as they were, give or take the jitter. Serves
// connections one after another until destroyed.
//
// DelayProxy is the proxy with a delay (and a spread) in each direction.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <thread>

namespace net_test {

class ProxyHook {
 public:
  struct Verdict {
    int delayMs = 0;   // how long the piece is held back
    bool cut = false;  // close both connections once the piece has been passed on
  };
  virtual ~ProxyHook() = default;
  // A connection begins.
  virtual void Begin() {}
  // A piece from the client (up) or from the server; the hook may shorten it.
  virtual Verdict Piece(bool up, std::string& bytes) = 0;
  // A piece is being passed on (called just before it is).
  virtual void Passing(bool up, const std::string& bytes) {
    (void)up;
    (void)bytes;
  }
  // One side closed its connection by itself (up: the client).
  virtual void Ended(bool up) { (void)up; }
};

class Proxy {
 public:
  // The hook must outlive the proxy.
  Proxy(int targetPort, ProxyHook& hook) : target_(targetPort), hook_(hook) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 8);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { Serve(); });
  }
  ~Proxy() {
    stop_ = true;
    acceptor_.join();
    ::close(listen_);
  }
  Proxy(const Proxy&) = delete;
  Proxy& operator=(const Proxy&) = delete;
  int Port() const { return port_; }
  std::string Name() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
  // How many connections have been taken so far.
  int Connections() const { return connections_; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Piece {
    Clock::time_point due;
    std::string bytes;
    bool cut = false;
  };
  // One direction of a connection: what is read from `from` waits in `queue` for `to`.
  struct Way {
    int from, to;
    bool up;
    bool open = true;
    std::deque<Piece> queue;
    Clock::time_point lastDue{};
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
      hook_.Begin();
      Relay(client, server);
      ::close(client);
      ::close(server);
    }
  }

  // Both directions in one loop, so that a cut falls between two pieces as the hook saw them.
  // Until both sides have closed and everything was passed on, a cut, or the proxy stops.
  void Relay(int client, int server) {
    Way ways[2] = {{client, server, true, true, {}, {}}, {server, client, false, true, {}, {}}};
    while (!stop_) {
      const auto now = Clock::now();
      int waitMs = 20;
      for (Way& w : ways)
        if (!w.queue.empty()) {
          auto left =
              std::chrono::duration_cast<std::chrono::milliseconds>(w.queue.front().due - now);
          waitMs = std::clamp<int>(static_cast<int>(left.count()), 0, waitMs);
        }
      pollfd p[2] = {{client, static_cast<short>(ways[0].open ? POLLIN : 0), 0},
                     {server, static_cast<short>(ways[1].open ? POLLIN : 0), 0}};
      if (::poll(p, 2, waitMs) > 0)
        for (int i = 0; i < 2; ++i) {
          if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR)) || !ways[i].open) continue;
          Way& w = ways[i];
          char buf[4096];
          ssize_t n = ::read(w.from, buf, sizeof buf);
          if (n <= 0) {
            w.open = false;
            hook_.Ended(w.up);
            continue;
          }
          std::string bytes(buf, n);
          const ProxyHook::Verdict v = hook_.Piece(w.up, bytes);
          // Never before the piece ahead of it: a path keeps the order of what it carries.
          const auto due = std::max(Clock::now() + std::chrono::milliseconds(v.delayMs), w.lastDue);
          w.lastDue = due;
          w.queue.push_back({due, std::move(bytes), v.cut});
          if (v.cut) ways[0].open = ways[1].open = false;
        }
      bool busy = false;
      for (Way& w : ways) {
        while (!w.queue.empty() && w.queue.front().due <= Clock::now()) {
          Piece piece = std::move(w.queue.front());
          w.queue.pop_front();
          hook_.Passing(w.up, piece.bytes);
          if (!piece.bytes.empty() &&
              ::send(w.to, piece.bytes.data(), piece.bytes.size(), MSG_NOSIGNAL) < 0)
            return;
          if (piece.cut) return;
        }
        if (!w.open && w.queue.empty() && w.to >= 0) {
          ::shutdown(w.to, SHUT_WR);
          w.to = -1;
        }
        busy = busy || w.open || !w.queue.empty();
      }
      if (!busy) return;
    }
  }

  int target_;
  ProxyHook& hook_;
  int listen_ = -1, port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread acceptor_;
};

// Holds back everything by delayMs in each direction, each piece by up to spreadMs more or
// less (drawn evenly, from a fixed seed), as a long path with jitter would.
class DelayHook : public ProxyHook {
 public:
  DelayHook(int delayMs, int spreadMs) : delay_(delayMs), spread_(std::max(spreadMs, 0)) {}
  Verdict Piece(bool, std::string&) override {
    std::uniform_int_distribution<int> jitter(-spread_, spread_);
    return {std::max(0, delay_ + (spread_ ? jitter(random_) : 0)), false};
  }

 private:
  int delay_, spread_;
  std::mt19937 random_{25};
};

class DelayProxy {
 public:
  DelayProxy(int targetPort, int delayMs, int spreadMs = 0)
      : hook_(std::make_unique<DelayHook>(delayMs, spreadMs)), proxy_(targetPort, *hook_) {}
  int Port() const { return proxy_.Port(); }
  std::string Name() const { return proxy_.Name(); }
  int Connections() const { return proxy_.Connections(); }

 private:
  std::unique_ptr<DelayHook> hook_;
  Proxy proxy_;
};

}  // namespace net_test
