// Stopping qelm-cli while it works on a fleet, against qelm-radio-sim radios in real time: a
// Ctrl+C stops what has not begun its store and lets a store under way run to its end, a
// second one stops at once, and a killed parent leaves its children to finish their stores.
// Every port is given back with the line settings and exclusive flag it was found with.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "AsyncCli.h"

using namespace cli_test;

namespace {

// Waits generous enough for a loaded two-core machine running other test suites beside.
constexpr int kStepMs = 60000;

struct LineState {
  termios t{};
  int exclusive = -1;
  bool operator==(const LineState& o) const {
    return t.c_iflag == o.t.c_iflag && t.c_oflag == o.t.c_oflag && t.c_cflag == o.t.c_cflag &&
           t.c_lflag == o.t.c_lflag && cfgetospeed(&t) == cfgetospeed(&o.t) &&
           t.c_cc[VMIN] == o.t.c_cc[VMIN] && t.c_cc[VTIME] == o.t.c_cc[VTIME] &&
           exclusive == o.exclusive;
  }
};

LineState Look(const std::string& port) {
  LineState s;
  int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return s;
  tcgetattr(fd, &s.t);
  ioctl(fd, TIOCGEXCL, &s.exclusive);
  close(fd);
  return s;
}

// Leaves the port as a person might have: 4800 bit/s, canonical input, echo.
LineState Prepare(const std::string& port) {
  int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios t{};
  tcgetattr(fd, &t);
  cfsetispeed(&t, B4800);
  cfsetospeed(&t, B4800);
  t.c_lflag |= ICANON | ECHO;
  tcsetattr(fd, TCSANOW, &t);
  close(fd);
  return Look(port);
}

std::map<std::string, QJsonObject> JsonByPort(const std::string& out) {
  std::map<std::string, QJsonObject> by;
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);) {
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(l)).object();
    if (o.contains("port")) by[o["port"].toString().toStdString()] = o;
  }
  return by;
}

bool LogHas(const Folder& folder, const std::string& text) {
  return Has(LogTexts(folder.LogPath()), text);
}

class CliSignalTest : public ::testing::Test {
 protected:
  Folder folder;
};

TEST_F(CliSignalTest, CtrlCLetsAStoreUnderWayEndAndStartsNoOther) {
  SimRadio a(folder.Path(), "a", {"--preset", "shrike"});  // nobody replugs it
  SimRadio b(folder.Path(), "b", {"--preset", "shrike"});
  SimRadio c(folder.Path(), "c", {"--preset", "vireo-us"});  // replugged for its read only
  std::map<std::string, LineState> before;
  for (SimRadio* r : {&a, &b, &c}) before[r->Port()] = Prepare(r->Port());

  AsyncCli cli({"fleet", "--ports", a.Port() + "," + b.Port() + "," + c.Port(), "--wait", "90",
                "--json", "--", "save", "--link", "4", "--new-rate", "19200", "--verify"});
  bool cPlugged = false, bPlugged = false;
  ASSERT_TRUE(WaitFor(
      [&] {
        Texts err = cli.Err();
        if (!cPlugged && ReplugRequests(err, c.Port()) >= 1) c.Replug(), cPlugged = true;
        // b starts its store once c has stored, so that c is past its store and b in it.
        if (!bPlugged && ReplugRequests(err, b.Port()) >= 1 &&
            LogHas(folder, "[" + c.Port() + "] Settings stored OK."))
          b.Replug(), bPlugged = true;
        return bPlugged && LogHas(folder, "[" + b.Port() + "] OnSave");
      },
      kStepMs));
  kill(cli.Pid(), SIGINT);
  ASSERT_TRUE(WaitFor([&] { return cli.Ended(); }, kStepMs));

  EXPECT_EQ(cli.Status(), 130);
  auto json = JsonByPort(cli.Out());
  EXPECT_EQ(json[a.Port()]["phase"].toString(), "not started");
  EXPECT_TRUE(a.Lines().empty());
  for (SimRadio* r : {&b, &c}) {
    QJsonObject o = json[r->Port()];
    EXPECT_EQ(o["phase"].toString(), "stored") << r->Port();
    EXPECT_EQ(o["rate"].toInt(), 19200) << r->Port();
    EXPECT_TRUE(o["stored"].toBool()) << r->Port();
    EXPECT_TRUE(o["verified"].isNull()) << r->Port();
    // The store ran to its end, and no reading followed it.
    Texts lines = r->Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "z>") << r->Port();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ":wit2400"), 1) << r->Port();
  }
  for (SimRadio* r : {&a, &b, &c}) {
    LineState after = Look(r->Port());
    EXPECT_TRUE(after == before[r->Port()]) << r->Port();
    EXPECT_EQ(after.exclusive, 0) << r->Port();
  }
  Texts log = LogTexts(folder.LogPath());
  EXPECT_EQ(log.back(), "Application closed");
  EXPECT_TRUE(Has(log, "[" + b.Port() + "] Signal 2: no store or reset starts any more"));
}

TEST_F(CliSignalTest, ASecondSignalStopsAtOnceAndSaysTheStoreWasInterrupted) {
  SimRadio b(folder.Path(), "b", {"--preset", "shrike"});
  const LineState before = Prepare(b.Port());
  AsyncCli cli({"fleet", "--ports", b.Port(), "--wait", "90", "--json", "--", "save", "--new-rate",
                "19200"});
  bool plugged = false, first = false;
  ASSERT_TRUE(WaitFor(
      [&] {
        if (!plugged && ReplugRequests(cli.Err(), b.Port()) >= 1) b.Replug(), plugged = true;
        if (!first && LogHas(folder, "[" + b.Port() + "] OnSave")) {
          kill(cli.Pid(), SIGINT);
          first = true;
        }
        return first && LogHas(folder, "[" + b.Port() + "] Baudrate set to 19200");
      },
      kStepMs));
  kill(cli.Pid(), SIGINT);
  ASSERT_TRUE(WaitFor([&] { return cli.Ended(); }, kStepMs));

  EXPECT_EQ(cli.Status(), 130);
  QJsonObject o = JsonByPort(cli.Out())[b.Port()];
  EXPECT_EQ(o["phase"].toString(), "interrupted");
  EXPECT_EQ(o["rate"].toInt(), 19200);  // the radio answers at the new rate, unstored
  EXPECT_FALSE(o["stored"].toBool(true));
  // How to see the radio and bring it back is told in the report and the log.
  const std::string hint = "'qelm-cli read --port " + b.Port() + " --rate 115200'";
  EXPECT_NE(o["note"].toString().toStdString().find(hint), std::string::npos)
      << o["note"].toString().toStdString();
  EXPECT_TRUE(Has(cli.Err(), "[" + b.Port() + "] qelm-cli: the radio got its rate command"));
  Texts log = LogTexts(folder.LogPath());
  EXPECT_TRUE(Has(log, "[" + b.Port() + "] Left unstored: the radio got its rate command"));
  EXPECT_TRUE(Has(log, "[" + b.Port() +
                           "] Result: stopped, interrupted; store command not sent; "
                           "answers at 19200"));
  Texts lines = b.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "m>"), 0);
  EXPECT_TRUE(Look(b.Port()) == before);
  EXPECT_EQ(LogTexts(folder.LogPath()).back(), "Application closed");
  // The next connection restarts the radio, which then answers at the rate it stored: the
  // read the note gives finds it at the first rate it tries.
  CliRun read =
      RunCli({"read", "--port", b.Port(), "--rate", "115200", "--wait", "60"}, {{b.Port(), &b}});
  EXPECT_EQ(read.status, 0) << read.out;
  EXPECT_NE(read.out.find("Rate:      115200"), std::string::npos) << read.out;
  for (const auto& line : read.err) EXPECT_EQ(line.find("2nd rate"), std::string::npos) << line;
}

TEST_F(CliSignalTest, AKilledParentLeavesItsChildrenToFinishTheirStores) {
  SimRadio b(folder.Path(), "b", {"--preset", "shrike"});
  const LineState before = Prepare(b.Port());
  AsyncCli cli({"fleet", "--ports", b.Port(), "--wait", "90", "--", "save", "--link", "6",
                "--new-rate", "57600", "--verify"});
  bool plugged = false;
  ASSERT_TRUE(WaitFor(
      [&] {
        if (!plugged && ReplugRequests(cli.Err(), b.Port()) >= 1) b.Replug(), plugged = true;
        return plugged && LogHas(folder, "[" + b.Port() + "] OnSave");
      },
      kStepMs));
  kill(cli.Pid(), SIGKILL);  // as a service manager's last word: no chance to pass anything on
  const bool finished = WaitFor(
      [&] {
        Texts lines = b.Lines();
        return !lines.empty() && lines.back() == "z>" && Look(b.Port()) == before;
      },
      kStepMs);
  if (!finished) {
    for (const auto& l : LogTexts(folder.LogPath())) std::cerr << "log: " << l << "\n";
    for (const auto& l : b.Lines()) std::cerr << "radio: " << l << "\n";
  }
  ASSERT_TRUE(finished);
  EXPECT_TRUE(LogHas(folder, "[" + b.Port() + "] Signal 15: no store or reset starts any more"));
  EXPECT_TRUE(LogHas(folder, "[" + b.Port() + "] Settings stored OK."));
  // No verify follows the store of a child told to stop: by its result line, written as the
  // process ends, the radio has heard one wake-up only.
  ASSERT_TRUE(WaitFor([&] { return LogHas(folder, "[" + b.Port() + "] Result: "); }, kStepMs));
  Texts lines = b.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), ":wit2400"), 1);
}

}  // namespace
