// The bounds of a network connect, in real time through qelm-cli: a radio that drips a byte
// every 200 ms or floods its line without end keeps a read no longer than its --wait and one
// connect bound; a refused certificate is final for the run, every opening still counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "../cli/CliHarness.h"
#include "DelayProxy.h"
#include "ScriptedRadio.h"
#include "Ser2net.h"
#include "TestCa.h"

using namespace cli_test;
using namespace net_test;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// --wait, plus one connect bound (3 s on loopback), plus room for a busy machine.
constexpr double kWaitSeconds = 6;
constexpr double kBoundSeconds = kWaitSeconds + 3 + 6;

class ConnectBoundsTest : public ::testing::TestWithParam<ScriptedRadio::Mode> {
 protected:
  Folder folder;
};

TEST_P(ConnectBoundsTest, ARadioThatNeverSendsABannerEndsTheRunWithinItsBound) {
  ScriptedRadio radio(GetParam());
  Ser2net server(folder.Path(), "s", {radio.Port()});
  auto start = std::chrono::steady_clock::now();
  CliRun run = RunCli(
      {"read", "--port", server.Name(), "--wait", std::to_string(static_cast<int>(kWaitSeconds))});
  const double took = Seconds(start);
  EXPECT_NE(run.status, 0);
  EXPECT_LT(took, kBoundSeconds) << ReadAll(folder.LogPath());
  EXPECT_EQ(LogTexts(folder.LogPath()).back(), "Application closed");
}

INSTANTIATE_TEST_SUITE_P(DripAndFlood, ConnectBoundsTest,
                         ::testing::Values(ScriptedRadio::Mode::kDrip,
                                           ScriptedRadio::Mode::kFlood));

TEST(ConnectRefusal, ARefusedCertificateIsFinalForTheRunAndEveryOpeningCounted) {
  Folder folder;
  TestCa ca(folder.Path(), "site");
  ASSERT_TRUE(ca.Ok());
  Issued wrong = ca.Issue("wrong", "otherhost", "subjectAltName=DNS:otherhost");
  ASSERT_TRUE(wrong.ok);
  ScriptedRadio radio(ScriptedRadio::Mode::kDrip);
  Tls tls{wrong.key, wrong.cert};
  Ser2net server(folder.Path(), "s", {radio.Port()}, false, &tls);
  DelayProxy counter(server.Port(), 0);
  const std::string name = "rfc2217+tls://localhost:" + std::to_string(counter.Port());
  setenv("QELM_TLS_CA", ca.Cert().c_str(), 1);
  CliRun run = RunCli({"read", "--port", name, "--wait", "30"});
  unsetenv("QELM_TLS_CA");
  EXPECT_EQ(run.status, 3);
  // One handshake; the four openings after it fail at once.
  EXPECT_EQ(counter.Connections(), 1);
  Texts log = LogTexts(folder.LogPath());
  const std::string refusal =
      "ERROR: the certificate of localhost:" + std::to_string(counter.Port()) + " is for otherhost";
  EXPECT_EQ(std::count(log.begin(), log.end(), refusal), 1) << ReadAll(folder.LogPath());
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& l) {
                            return l.rfind("ERROR: Could not open port: ", 0) == 0;
                          }),
            4);
  EXPECT_TRUE(Has(log, "ERROR: Cannot open port. OnDetect returns."));
}

}  // namespace
