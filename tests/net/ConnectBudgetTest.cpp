// The bound of a connect procedure's network openings, on the device opener itself: every
// opening draws on one bound of at least 3 s; once it is spent, an opening fails at once,
// and failures are remembered within the procedure, whatever their kind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "Ser2net.h"
#include "platform/devices/ConnectProcedure.h"
#include "platform/devices/DeviceOpener.h"

using platform::ConnectProcedure;
using platform::DeviceOpener;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

class ConnectBudgetTest : public ::testing::Test {
 protected:
  ConnectBudgetTest() {
    char tmpl[] = "/tmp/qelm-budget-test-XXXXXX";
    folder_ = mkdtemp(tmpl);
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    server_ = std::make_unique<net_test::Ser2net>(folder_, "s",
                                                  std::vector<std::string>{ptsname(master_)});
  }
  ~ConnectBudgetTest() override {
    ConnectProcedure::End();
    server_.reset();
    close(master_);
    std::filesystem::remove_all(folder_);
  }
  std::string folder_;
  int master_ = -1;
  std::unique_ptr<net_test::Ser2net> server_;
};

TEST_F(ConnectBudgetTest, OneBoundForEveryOpeningOfAProcedure) {
  net_test::SilentListener silent;
  const std::string quiet = "rfc2217://127.0.0.1:" + std::to_string(silent.Port());
  DeviceOpener opener;
  EXPECT_EQ(opener.ConnectBudgetMs(), DeviceOpener::kMinConnectBudgetMs);
  ConnectProcedure::Begin();
  int error = 0;
  auto start = Clock::now();
  EXPECT_EQ(opener.Open(quiet, &error), nullptr);
  EXPECT_EQ(error, ETIMEDOUT);
  EXPECT_GT(Seconds(start), 2.5);
  // The bound is spent: even a server that answers is not tried within this procedure.
  start = Clock::now();
  EXPECT_EQ(opener.Open(server_->Name(), &error), nullptr);
  EXPECT_EQ(error, ETIMEDOUT);
  EXPECT_LT(Seconds(start), 0.5);
  ConnectProcedure::End();

  // A new procedure has the whole bound again, and a server that answers gives it a round
  // trip to measure; the bound stays within its limits.
  ConnectProcedure::Begin();
  auto device = opener.Open(server_->Name(), &error);
  EXPECT_NE(device, nullptr) << opener.FailureText();
  EXPECT_GE(opener.ConnectBudgetMs(), DeviceOpener::kMinConnectBudgetMs);
  EXPECT_LE(opener.ConnectBudgetMs(), DeviceOpener::kMaxConnectBudgetMs);
}

TEST_F(ConnectBudgetTest, EveryKindOfFailureIsRememberedWithinTheProcedure) {
  DeviceOpener opener;
  const int port = net_test::FreePort();
  const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(port);
  ConnectProcedure::Begin();
  int error = 0;
  EXPECT_EQ(opener.Open(refused, &error), nullptr);
  EXPECT_EQ(error, ECONNREFUSED);
  const std::string why = opener.FailureText();
  // Something listens there now, but the procedure does not ask again.
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_TRUE(net_test::Accepts(port, false));
  auto start = Clock::now();
  EXPECT_EQ(opener.Open(refused, &error), nullptr);
  EXPECT_LT(Seconds(start), 0.5);
  close(listener);
  EXPECT_EQ(error, ECONNREFUSED);
  EXPECT_EQ(opener.FailureText(), why);
  ConnectProcedure::End();
}

}  // namespace
