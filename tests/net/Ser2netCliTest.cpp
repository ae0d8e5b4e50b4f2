// qelm-cli against radio stand-ins behind a real ser2net on loopback, in real time: the same
// sequences as on a local line (read, save with its rate switch and --verify, reset, a fleet
// over two servers), over IPv4 and IPv6, inside TLS, and the failures: ser2net killed in the
// middle of a save, a listener that never answers, a certificate that does not match.
#include <algorithm>
#include <chrono>
#include <thread>

#include "../cli/CliHarness.h"
#include "Ser2net.h"

using namespace cli_test;
using namespace net_test;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

class Ser2netCliTest : public ::testing::Test {
 protected:
  Folder folder;
};

TEST_F(Ser2netCliTest, ReadsARadioOverIpv4AndIpv6) {
  for (bool ipv6 : {false, true}) {
    SimRadio radio(folder.Path(), ipv6 ? "r6" : "r4", {"--preset", "shrike"});
    Ser2net server(folder.Path(), ipv6 ? "s6" : "s4", {radio.Port()}, ipv6);
    // Over IPv6 through the port map, as the dialog reaches it.
    setenv("QELM_COM1", server.Name().c_str(), 1);
    CliRun run = RunCli({"read", "--port", ipv6 ? "COM1" : server.Name()}, {{"", &radio}});
    unsetenv("QELM_COM1");
    EXPECT_EQ(run.status, 0) << server.Name();
    EXPECT_NE(run.out.find("2 Vireo B & Shrike"), std::string::npos) << run.out;
    EXPECT_EQ(radio.Lines(), kRead);
    Texts log = LogTexts(folder.LogPath());
    if (ipv6) {
      EXPECT_TRUE(Has(log, "Port COM1 opened at 115200"));
      EXPECT_TRUE(Has(log, "Port COM1 is " + server.Name()));
    } else {
      EXPECT_TRUE(Has(log, "Port " + server.Name() + " opened at 115200"));
    }
  }
}

TEST_F(Ser2netCliTest, SaveSwitchesTheRemoteLinesRateAndVerifiesAtIt) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  Ser2net server(folder.Path(), "s1", {radio.Port()});
  CliRun run = RunCli({"save", "--port", server.Name(), "--link", "12", "--mode", "remote",
                       "--new-rate", "19200", "--verify"},
                      {{"", &radio}});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Verified:  yes"), std::string::npos) << run.out;
  // The stand-in understood "sd?" and the second reading only because ser2net set its line
  // to 19200 when asked.
  EXPECT_EQ(
      radio.Lines(),
      Concat({kRead,
              {"wb0", "wnc", "sd0B", "", "sd?", "pn1", "pw34", "pr30", "wu01", "dx00", "m>", "z>"},
              kRead}));
  Texts log = LogTexts(folder.LogPath());
  EXPECT_TRUE(Has(log, "Baudrate set to 19200 with sd0B"));
  EXPECT_TRUE(Has(log, "Port " + server.Name() + " opened at 19200"));
}

TEST_F(Ser2netCliTest, ResetReopensTheRemoteLineAtTheNewRate) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "vireo-us"});
  Ser2net server(folder.Path(), "s1", {radio.Port()});
  CliRun run = RunCli({"reset", "--port", server.Name(), "--yes"}, {{"", &radio}});
  EXPECT_EQ(run.status, 0) << run.out << ReadAll(folder.LogPath())
                           << ReadAll(folder.Path() + "/r1.sim");
  EXPECT_EQ(
      radio.Lines(),
      Concat({kRead,
              {"m0", "pe00", "pn1", "pw30", "pr10", "wu01", "dx04", "wb1", "sd0B", "m>", "z>"}}));
  EXPECT_TRUE(Has(LogTexts(folder.LogPath()), "Morva US defaults saved."));
}

TEST_F(Ser2netCliTest, FleetOfEightBehindTwoServers) {
  std::vector<std::unique_ptr<SimRadio>> radios;
  std::vector<std::string> links[2];
  for (int i = 0; i < 8; ++i) {
    radios.push_back(std::make_unique<SimRadio>(folder.Path(), "p" + std::to_string(i),
                                                Texts{"--preset", "shrike"}));
    links[i % 2].push_back(radios.back()->Port());
  }
  Ser2net a(folder.Path(), "a", links[0]), b(folder.Path(), "b", links[1]);
  std::map<std::string, SimRadio*> replug;
  std::string ports;
  for (int i = 0; i < 8; ++i) {
    const std::string name = (i % 2 ? b : a).Name(i / 2);
    replug[name] = radios[i].get();
    ports += (i ? "," : "") + name;
  }
  CliRun run = RunCli({"fleet", "--ports", ports, "--wait", "20", "--", "save", "--link", "3",
                       "--new-rate", "57600", "--verify"},
                      replug);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("8 ports: 8 done"), std::string::npos) << run.out;
}

TEST_F(Ser2netCliTest, Ser2netKilledInTheMiddleOfASaveFailsWithoutAHang) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  Ser2net server(folder.Path(), "s1", {radio.Port()});
  std::thread killer([&] {
    // Once the save has begun (the link is set), the server goes.
    for (int i = 0; i < 3000; ++i) {
      Texts lines = radio.Lines();
      if (std::find(lines.begin(), lines.end(), "wnc") != lines.end()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    server.Kill();
  });
  auto start = std::chrono::steady_clock::now();
  CliRun run = RunCli({"save", "--port", server.Name(), "--link", "12", "--new-rate", "19200"},
                      {{"", &radio}});
  killer.join();
  EXPECT_NE(run.status, 0);
  EXPECT_LT(Seconds(start), 60.0);
  Texts lines = radio.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "m>"), 0);
  EXPECT_NE(LogTexts(folder.LogPath()).back().find("Application closed"), std::string::npos);
}

TEST_F(Ser2netCliTest, AListenerThatNeverAnswersFailsWithinTheBoundNamingIt) {
  SilentListener silent;
  const std::string endpoint = "127.0.0.1:" + std::to_string(silent.Port());
  auto start = std::chrono::steady_clock::now();
  CliRun run = RunCli({"read", "--port", "rfc2217://" + endpoint});
  const double took = Seconds(start);
  EXPECT_EQ(run.status, 3);
  // One connect bound (3 s), then the same failure at once for the four more openings.
  EXPECT_LT(took, 15.0);
  EXPECT_GT(took, 2.5);
  Texts log = LogTexts(folder.LogPath());
  EXPECT_EQ(std::count(log.begin(), log.end(), "ERROR: no answer from " + endpoint + " in time"),
            1);
  EXPECT_TRUE(Has(log, "ERROR: Cannot open port. OnDetect returns."));
}

TEST_F(Ser2netCliTest, TlsWithTheServersCertificateAndRefusedWithAnother) {
  Tls good = MakeCertificate(folder.Path(), "good");
  Tls other = MakeCertificate(folder.Path(), "other");
  ASSERT_FALSE(good.cert.empty());
  ASSERT_FALSE(other.cert.empty());
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  Ser2net server(folder.Path(), "s1", {radio.Port()}, false, &good);

  setenv("QELM_TLS_CA", good.cert.c_str(), 1);
  CliRun run = RunCli({"read", "--port", server.Name(0, true)}, {{"", &radio}});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(radio.Lines(), kRead);
  // The log says where the certificate was checked against.
  EXPECT_TRUE(Has(LogTexts(folder.LogPath()),
                  "The certificate of 127.0.0.1:" + std::to_string(server.Port()) +
                      " was checked against QELM_TLS_CA (" + good.cert + ")"));

  setenv("QELM_TLS_CA", other.cert.c_str(), 1);
  run = RunCli({"read", "--port", server.Name(0, true)}, {{"", &radio}});
  unsetenv("QELM_TLS_CA");
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(Has(LogTexts(folder.LogPath()), "ERROR: the certificate of 127.0.0.1:" +
                                                  std::to_string(server.Port()) + " was refused"));
  // Nothing more reached the radio: no fall-back to the clear.
  EXPECT_EQ(radio.Lines(), kRead);
}

}  // namespace

namespace {

TEST_F(Ser2netCliTest, PortsListsTheMapWithWhatOpensAndWhy) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  SimRadio remote(folder.Path(), "r2", {"--preset", "shrike"});
  Ser2net server(folder.Path(), "s1", {remote.Port()});
  SilentListener silent;
  const std::string quiet = "rfc2217://127.0.0.1:" + std::to_string(silent.Port());
  setenv("QELM_COM1", radio.Port().c_str(), 1);
  setenv("QELM_COM2", server.Name().c_str(), 1);
  CliRun run = RunCli({"ports", quiet});
  // COM1 named adds no line of its own: it is the mapped port, listed already.
  CliRun named = RunCli({"ports", quiet, "com1"});
  unsetenv("QELM_COM1");
  unsetenv("QELM_COM2");
  EXPECT_EQ(named.status, 0);
  EXPECT_EQ(std::count(named.out.begin(), named.out.end(), '\n'),
            std::count(run.out.begin(), run.out.end(), '\n'))
      << named.out;
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("COM1  " + radio.Port() + "  (environment)  opens"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("COM2  " + server.Name() + "  (environment)  opens"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("-  " + quiet + "  (named)  cannot open: no answer from 127.0.0.1:" +
                         std::to_string(silent.Port()) + " in time"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(RunCli({"ports", "COM9"}).status, 64);
}

}  // namespace

namespace {

TEST_F(Ser2netCliTest, AServerThatGoesQuietMidSaveFailsAsASilentRadioDoes) {
  SimRadio radio(folder.Path(), "r1", {"--preset", "shrike"});
  Ser2net server(folder.Path(), "s1", {radio.Port()});
  std::thread stopper([&] {
    for (int i = 0; i < 3000; ++i) {
      Texts lines = radio.Lines();
      if (std::find(lines.begin(), lines.end(), "wnc") != lines.end()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    server.Signal(SIGSTOP);
  });
  auto start = std::chrono::steady_clock::now();
  CliRun run = RunCli({"save", "--port", server.Name(), "--link", "12"}, {{"", &radio}});
  stopper.join();
  server.Signal(SIGCONT);
  EXPECT_EQ(run.status, 1);
  EXPECT_LT(Seconds(start), 60.0);
  Texts log = LogTexts(folder.LogPath());
  EXPECT_TRUE(Has(log, "ERROR: RadioCommand error 2"));
  EXPECT_EQ(log.back(), "Application closed");
}

}  // namespace
