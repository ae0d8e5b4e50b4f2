// Nothing is claimed before the line confirmed it: qelm-cli saving through ser2net, with a
// proxy in between that cuts the connection at a chosen point of the store. What the report
// says (status, result, phase, stored, rate) is checked against what the radio stand-in heard
// and what it holds in its state file.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "../cli/CliHarness.h"
#include "Ser2net.h"

using namespace cli_test;
using namespace net_test;

namespace {

// A TCP proxy on loopback that passes everything on at once, until the client has sent a
// given text: then it passes on what comes before that text (or, with `after`, the text too)
// and closes both connections; with `untilReply`, it first waits for the server's next answer
// to a COM port request (the round trip that confirms what came before) and passes that on.
// Serves connections one after another until destroyed.
class CuttingProxy {
 public:
  CuttingProxy(int targetPort, std::string trigger, bool after, bool untilReply)
      : target_(targetPort), trigger_(std::move(trigger)), after_(after), untilReply_(untilReply) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 8);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { Serve(); });
  }
  ~CuttingProxy() {
    stop_ = true;
    acceptor_.join();
    ::close(listen_);
  }
  std::string Name() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
  bool Cut() const { return cut_; }

 private:
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
      Relay(client, server);
      ::close(client);
      ::close(server);
    }
  }

  // Both directions in one loop, so the cut happens between two bytes the client sent.
  void Relay(int client, int server) {
    std::string seen;     // what the client sent on this connection
    std::string replies;  // what the server sent since the trigger
    bool cutting = false;
    // The server's answer to a COM port request (telnet IAC SB, option 44, code above 100).
    const std::string answer = "\xFF\xFA\x2C";
    while (!stop_) {
      pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      if (::poll(p, 2, 10) <= 0) continue;
      char buf[4096];
      if (p[1].revents) {
        ssize_t n = ::read(server, buf, sizeof buf);
        if (n <= 0) return;
        ::send(client, buf, n, MSG_NOSIGNAL);
        if (cutting) {
          replies.append(buf, n);
          const size_t at = replies.find(answer);
          if (at != std::string::npos && at + 3 < replies.size() &&
              static_cast<unsigned char>(replies[at + 3]) > 100) {
            cut_ = true;
            return;
          }
        }
      }
      if (!p[0].revents) continue;
      ssize_t n = ::read(client, buf, sizeof buf);
      if (n <= 0) {
        // A client that closed by itself after the trigger has had its answer.
        cut_ = cut_ || cutting;
        return;
      }
      std::string piece(buf, n);
      if (!cutting) {
        const size_t before = seen.size();
        seen += piece;
        const size_t at = seen.find(trigger_);
        if (at != std::string::npos) {
          // Pass on up to the trigger (or through it), then cut, at once or after the grace.
          const size_t end = at + (after_ ? trigger_.size() : 0);
          const size_t upTo = std::min(piece.size(), end > before ? end - before : 0);
          if (upTo) ::send(server, piece.data(), upTo, MSG_NOSIGNAL);
          if (!after_ || !untilReply_) {
            cut_ = true;
            return;
          }
          cutting = true;
          piece.erase(0, upTo);
        }
      }
      if (!piece.empty()) ::send(server, piece.data(), piece.size(), MSG_NOSIGNAL);
    }
  }

  int target_;
  std::string trigger_;
  bool after_;
  bool untilReply_;
  int listen_ = -1, port_ = 0;
  std::atomic<bool> stop_{false}, cut_{false};
  std::thread acceptor_;
};

struct Outcome {
  int status = -1;
  nlohmann::json report;
  Texts heard;
  std::string state;
};

class DeliveryTest : public ::testing::Test {
 protected:
  // A save of link 9 at 19200 through a proxy that cuts at `trigger`.
  Outcome SaveThrough(const std::string& trigger, bool after, bool untilReply) {
    const std::string state = folder.Path() + "/radio.state";
    SimRadio radio(folder.Path(), "r", {"--preset", "shrike", "--state", state});
    Ser2net server(folder.Path(), "s", {radio.Port()});
    CuttingProxy proxy(server.Port(), trigger, after, untilReply);
    CliRun run = RunCli({"save", "--port", proxy.Name(), "--link", "9", "--new-rate", "19200",
                         "--json", "--wait", "30"},
                        {{"", &radio}});
    Outcome o;
    o.status = run.status;
    o.report = nlohmann::json::parse(run.out, nullptr, false);
    o.heard = radio.Lines();
    o.state = ReadAll(state);
    EXPECT_TRUE(proxy.Cut() || trigger.empty()) << "the proxy never saw " << trigger;
    return o;
  }
  Folder folder;
};

int Count(const Texts& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

TEST_F(DeliveryTest, ACutJustBeforeTheStoreIsNeverReportedStored) {
  Outcome o = SaveThrough("m>\r\n", /*after=*/false, /*untilReply=*/false);
  ASSERT_TRUE(o.report.is_object()) << o.report;
  EXPECT_NE(o.status, 0);
  EXPECT_NE(o.report["stored"], true) << o.report;
  EXPECT_EQ(o.report["result"], "connection lost") << o.report;
  // The radio never heard the store: it holds nothing of this save.
  EXPECT_EQ(Count(o.heard, "m>"), 0);
  EXPECT_EQ(o.state.find("wn=09"), std::string::npos) << o.state;
}

TEST_F(DeliveryTest, ACutJustAfterTheRateCommandIsALostConnection) {
  Outcome o = SaveThrough("sd0B\r\n", /*after=*/true, /*untilReply=*/false);
  ASSERT_TRUE(o.report.is_object()) << o.report;
  EXPECT_NE(o.status, 0);
  EXPECT_NE(o.status, 2);  // not "rate refused": the connection was lost
  EXPECT_EQ(o.report["result"], "connection lost") << o.report;
  EXPECT_EQ(o.report["phase"], "started");
  EXPECT_EQ(o.report["stored"], false);  // "m>" was never written
  EXPECT_EQ(Count(o.heard, "sd0B"), 1);
  EXPECT_EQ(Count(o.heard, "m>"), 0);
  EXPECT_EQ(o.state.find("wn=09"), std::string::npos) << o.state;
}

TEST_F(DeliveryTest, ACutAfterTheStoreWasConfirmedIsStored) {
  // The client's confirmation after "z>" is one round trip; the cut comes right after it.
  Outcome o = SaveThrough("z>\r\n", /*after=*/true, /*untilReply=*/true);
  ASSERT_TRUE(o.report.is_object()) << o.report;
  EXPECT_EQ(o.status, 0) << o.report;
  EXPECT_EQ(o.report["stored"], true);
  EXPECT_EQ(o.report["phase"], "stored");
  EXPECT_EQ(o.report["rate"], 19200);
  EXPECT_EQ(Count(o.heard, "m>"), 1);
  EXPECT_NE(o.state.find("wn=09"), std::string::npos) << o.state;
  EXPECT_NE(o.state.find("baud=19200"), std::string::npos) << o.state;
}

}  // namespace
