// The same sequences over a long network path: a proxy of the test's own between qelm-cli and
// ser2net delays everything by 80 ms each way (QELM_TEST_DELAY_MS sets another delay, to find
// where the protocol's fixed waits stop taking it). 80 rather than the 140 that works on a quiet
// machine: on a busy one the proxy's own lateness adds to the delay.
#include <cstdlib>

#include "../cli/CliHarness.h"
#include "DelayProxy.h"
#include "Ser2net.h"

using namespace cli_test;
using namespace net_test;

namespace {

int DelayMs() {
  const char* d = std::getenv("QELM_TEST_DELAY_MS");
  return d ? std::atoi(d) : 80;
}

TEST(Latency, ReadAndSaveWithARateSwitchOverADelayedPath) {
  Folder folder;
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  Ser2net server(folder.Path(), "s1", {radio.Port()});
  DelayProxy proxy(server.Port(), DelayMs());
  const std::string port = "rfc2217://127.0.0.1:" + std::to_string(proxy.Port());

  CliRun run = RunCli({"read", "--port", port}, {{"", &radio}});
  EXPECT_EQ(run.status, 0) << run.out << ReadAll(folder.LogPath());
  EXPECT_NE(run.out.find("2 Vireo B & Shrike"), std::string::npos) << run.out;

  run = RunCli({"save", "--port", port, "--link", "7", "--new-rate", "19200", "--verify"},
               {{"", &radio}});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("Verified:  yes"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Rate:      19200"), std::string::npos) << run.out;
}

}  // namespace
