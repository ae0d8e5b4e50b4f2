// Nothing is claimed before the line confirmed it: qelm-cli saving through ser2net, with a
// proxy in between that cuts the connection at a chosen point of the store. What the report
// says (status, result, phase, stored, rate) is checked against what the radio stand-in heard
// and what it holds in its state file.
#include <algorithm>
#include <atomic>
#include <nlohmann/json.hpp>
#include <string>

#include "../cli/CliHarness.h"
#include "DelayProxy.h"
#include "Ser2net.h"

using namespace cli_test;
using namespace net_test;

namespace {

// Passes everything on at once, until the client has sent a given text: then it passes on
// what comes before that text (or, with `after`, the text too) and cuts the connection; with
// `untilReply`, it first waits for the server's next answer to a COM port request (the round
// trip that confirms what came before) and passes that on.
class CuttingHook : public ProxyHook {
 public:
  CuttingHook(std::string trigger, bool after, bool untilReply)
      : trigger_(std::move(trigger)), after_(after), untilReply_(untilReply) {}
  bool Cut() const { return cut_; }

  void Begin() override {
    seen_.clear();
    replies_.clear();
    cutting_ = false;
  }
  Verdict Piece(bool up, std::string& bytes) override {
    if (!up) {
      if (!cutting_) return {};
      // The server's answer to a COM port request (telnet IAC SB, option 44, code above 100).
      const std::string answer = "\xFF\xFA\x2C";
      replies_ += bytes;
      const size_t at = replies_.find(answer);
      if (at != std::string::npos && at + 3 < replies_.size() &&
          static_cast<unsigned char>(replies_[at + 3]) > 100) {
        cut_ = true;
        return {0, true};
      }
      return {};
    }
    if (cutting_) return {};
    const size_t before = seen_.size();
    seen_ += bytes;
    const size_t at = seen_.find(trigger_);
    if (at == std::string::npos) return {};
    // Up to the trigger (or through it), then the cut, at once or after the server's answer.
    const size_t end = at + (after_ ? trigger_.size() : 0);
    if (!after_ || !untilReply_) {
      bytes.resize(std::min(bytes.size(), end > before ? end - before : 0));
      cut_ = true;
      return {0, true};
    }
    cutting_ = true;
    return {};
  }
  // A client that closed by itself after the trigger has had its answer.
  void Ended(bool up) override { cut_ = cut_ || (up && cutting_); }

 private:
  std::string trigger_;
  bool after_;
  bool untilReply_;
  std::string seen_;     // what the client sent on this connection
  std::string replies_;  // what the server sent since the trigger
  bool cutting_ = false;
  std::atomic<bool> cut_{false};
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
    CuttingHook hook(trigger, after, untilReply);
    Proxy proxy(server.Port(), hook);
    CliRun run = RunCli({"save", "--port", proxy.Name(), "--link", "9", "--new-rate", "19200",
                         "--json", "--wait", "30"},
                        {{"", &radio}});
    Outcome o;
    o.status = run.status;
    o.report = nlohmann::json::parse(run.out, nullptr, false);
    o.heard = radio.Lines();
    o.state = ReadAll(state);
    EXPECT_TRUE(hook.Cut() || trigger.empty()) << "the proxy never saw " << trigger;
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
  // The report says where the radio is left: at either rate now, at its stored one restarted.
  const std::string note = o.report.value("note", "");
  EXPECT_NE(note.find("answers at 19200 (or still 115200) until it restarts"), std::string::npos)
      << note;
  EXPECT_NE(note.find("--rate 115200' shows what it holds"), std::string::npos) << note;
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
