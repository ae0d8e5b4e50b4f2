// The real qelm-config in a real terminal: tmux runs it with no display against
// qelm-radio-sim on pseudo-terminals, send-keys types, capture-pane reads the screen. Skipped
// where tmux is not installed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/WaitUntil.h"
#include "tests/sim/RadioSimChild.h"

namespace {

using test_support::RadioSimChild;
using test_support::WaitUntil;

std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer{};
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  pclose(pipe);
  return out;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool HaveTmux() {
  return std::system("tmux -V >/dev/null 2>&1") == 0;
}

// One tmux server of the test's own, with one window running a command.
class Tmux {
 public:
  Tmux(int width, int height, const std::string& command)
      : socket_("qelm-e2e-" + std::to_string(getpid())) {
    std::system((Tmux::Base() + " new-session -d -s main -x " + std::to_string(width) + " -y " +
                 std::to_string(height) + " " + Quote(command))
                    .c_str());
  }
  // The tool stores its preferences on its way out, after the hang-up: wait (bounded) until
  // the pane's processes are gone, so that nothing lands in the test's folder once removed.
  ~Tmux() {
    const int group = std::atoi(Run(Base() + " display-message -p -t main '#{pane_pid}'").c_str());
    // tmux leaves its socket file behind when its server is killed.
    std::string path = Run(Base() + " display-message -p '#{socket_path}'");
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    std::system((Base() + " kill-server >/dev/null 2>&1").c_str());
    if (!path.empty()) ::unlink(path.c_str());
    for (int i = 0; group > 1 && i < 400 && kill(-group, 0) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }

  std::string Screen() const { return Run(Base() + " capture-pane -p -t main"); }
  void Keys(const std::string& keys) const {
    std::system((Base() + " send-keys -t main " + keys).c_str());
  }
  void Resize(int width, int height) const {
    std::system((Base() + " resize-window -t main -x " + std::to_string(width) + " -y " +
                 std::to_string(height))
                    .c_str());
  }
  // Waits until the screen shows the text and has been drawn whole; the screen as last seen.
  bool WaitFor(const std::string& text, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
      last = Screen();
      if (last.find(text) != std::string::npos) {
        Settle();
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }
  bool WaitGone(const std::string& text, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
      last = Screen();
      if (last.find(text) == std::string::npos) {
        Settle();
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }
  std::string last;

 private:
  // The tool draws a screen in several writes, and on a loaded machine a capture can land
  // between them (a frame whose lower lines are still blank): the screen counts as drawn once
  // two captures 80 ms apart agree, within two seconds.
  void Settle() {
    for (int i = 0; i < 25; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(80));
      std::string again = Screen();
      if (again == last) return;
      last = std::move(again);
    }
  }
  std::string Base() const { return "tmux -f /dev/null -L " + socket_; }
  std::string socket_;
};

// The line of a screen that holds a text, or "".
std::string LineWith(const std::string& screen, const std::string& text) {
  std::istringstream in(screen);
  for (std::string line; std::getline(in, line);)
    if (line.find(text) != std::string::npos) return line;
  return "";
}

int RowOf(const std::string& screen, const std::string& text) {
  std::istringstream in(screen);
  int row = 0;
  for (std::string line; std::getline(in, line); ++row)
    if (line.find(text) != std::string::npos) return row;
  return -1;
}

class TerminalEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
    dir_ = testing::TempDir() + "qelm-terminal-e2e-" + std::to_string(getpid()) + "-" +
           testing::UnitTest::GetInstance()->current_test_info()->name();
    std::system(("rm -rf " + Quote(dir_)).c_str());
    mkdir(dir_.c_str(), 0700);
    mkdir((dir_ + "/cfg").c_str(), 0700);
    mkdir((dir_ + "/cfg/Morva Fendral").c_str(), 0700);
  }
  void TearDown() override {
    if (!dir_.empty()) std::system(("rm -rf " + Quote(dir_)).c_str());
  }
  void StorePreferences(const std::string& port, const std::string& rate) {
    std::ofstream(dir_ + "/cfg/Morva Fendral/QELM Config Tool.conf")
        << "[General]\nBaudrate=" << rate << "\nPort=" << port << "\n";
  }
  std::string Link(const std::string& name) const { return dir_ + "/" + name; }
  // The tool with no display, its ports on the stand-ins, its files in the test's folder.
  std::string Tool(const std::string& environment = "") const {
    return "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u QELM_UI " + environment +
           " QELM_COM1=" + Quote(Link("com1")) + " QELM_COM2=/nonexistent QELM_COM3=/nonexistent" +
           " XDG_CONFIG_HOME=" + Quote(dir_ + "/cfg") + " QELM_DATA_DIR=" + Quote(dir_ + "/data") +
           " " QELM_CONFIG_PATH "; echo QELM-EXIT=$?; sleep 60";
  }
  std::string Log() const {
    std::ifstream in(dir_ + "/data/TUVAR_TOOL_Log.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_;
};

}  // namespace

TEST_F(TerminalEndToEnd, ConnectsToAnExternalRadioAtAWrongRateThroughEachWaitingDialog) {
  StorePreferences("COM1", "57600");
  RadioSimChild radio;
  ASSERT_TRUE(radio.Start({"--path", Link("com1"), "--model", "2410", "--firmware", "5.4", "--baud",
                           "9600", "--preset", "shrike", "--external"}));
  Tmux tmux(80, 24, Tool());
  ASSERT_TRUE(tmux.WaitFor("TUVAR Config Tool")) << tmux.last;
  // The stored port and rate are preselected; the focus is on Connect.
  EXPECT_NE(LineWith(tmux.last, "Port:").find("[COM1"), std::string::npos) << tmux.last;
  EXPECT_NE(LineWith(tmux.last, "Baudrate:").find("[57600"), std::string::npos) << tmux.last;

  tmux.Keys("Enter");
  // The rates after the stored one, wrapping round, each in its own waiting dialog.
  // The cable is reconnected once each dialog shows, as the dialog asks, and once the radio
  // has seen that rate's open of its port (a reconnect with the port closed goes unheard).
  int opens = 0;
  for (const char* rate : {"57600", "115200", "4800", "9600"}) {
    const std::string caption = std::string("Waiting for radio at ") + rate + " bps...";
    EXPECT_TRUE(tmux.WaitFor(caption)) << caption << "\n" << tmux.last;
    EXPECT_TRUE(radio.WaitForReport("port opened", ++opens)) << radio.Report();
    EXPECT_TRUE(radio.WaitForPortOpen()) << radio.Report();
    radio.Signal(SIGUSR1);
  }
  ASSERT_TRUE(tmux.WaitFor("<Disconnect>")) << tmux.last;
  const std::string connected = tmux.last;
  EXPECT_NE(LineWith(connected, "Baudrate:").find("[9600"), std::string::npos) << connected;
  EXPECT_NE(LineWith(connected, "Device:").find("[Vireo B & Shrike"), std::string::npos)
      << connected;
  EXPECT_EQ(LineWith(connected, "Link:").find("[     "), std::string::npos) << connected;
  EXPECT_EQ(connected.find('\x1b'), std::string::npos);

  tmux.Keys("M-c");  // Close: nothing changed, so nothing is asked
  ASSERT_TRUE(tmux.WaitFor("QELM-EXIT=0")) << tmux.last;
  const std::string log = Log();
  EXPECT_NE(log.find("Port COM1 opened at 9600"), std::string::npos);
  EXPECT_NE(log.find("Radio settings read OK."), std::string::npos);
  EXPECT_NE(log.find("Application closed"), std::string::npos);
}

TEST_F(TerminalEndToEnd, CancelEndsAWaitAndTheAboutBoxOpensAndClosesAfterAResize) {
  StorePreferences("COM1", "115200");
  // Nobody reconnects this radio's cable: only Cancel ends the wait.
  RadioSimChild radio;
  ASSERT_TRUE(
      radio.Start({"--path", Link("com1"), "--model", "2410", "--baud", "115200", "--external"}));
  Tmux tmux(80, 24, Tool());
  ASSERT_TRUE(tmux.WaitFor("< Connect >")) << tmux.last;
  tmux.Keys("M-n");
  ASSERT_TRUE(tmux.WaitFor("Waiting for radio at 115200 bps...")) << tmux.last;
  EXPECT_NE(tmux.last.find("< Cancel >"), std::string::npos);
  // Escape as soon as the wait shows: before its first poll or during one, it ends the wait
  // (TextBackendTest checks the cancel within a poll, on the virtual clock).
  tmux.Keys("Escape");
  ASSERT_TRUE(tmux.WaitGone("Waiting for radio")) << tmux.last;
  EXPECT_NE(tmux.last.find("< Connect >"), std::string::npos) << tmux.last;

  tmux.Resize(100, 30);
  // Centred again: the 39 by 16 frame starts at column 30, row 7.
  EXPECT_TRUE(WaitUntil([&] {
    tmux.last = tmux.Screen();
    return RowOf(tmux.last, "TUVAR Config Tool") == 7;
  }));
  EXPECT_EQ(RowOf(tmux.last, "TUVAR Config Tool"), 7) << tmux.last;
  EXPECT_EQ(LineWith(tmux.last, "TUVAR Config Tool").find_first_not_of(' '), 30u) << tmux.last;

  tmux.Keys("M-a");
  ASSERT_TRUE(tmux.WaitFor("About TUVAR Config tool")) << tmux.last;
  EXPECT_TRUE(tmux.WaitFor("Radio Firmware: Not")) << tmux.last;
  tmux.Keys("Enter");  // its default button, Ok
  ASSERT_TRUE(tmux.WaitGone("About TUVAR Config tool")) << tmux.last;

  tmux.Keys("Escape");  // the cancel command closes the main dialog
  ASSERT_TRUE(tmux.WaitFor("QELM-EXIT=0")) << tmux.last;
  const std::string log = Log();
  EXPECT_NE(log.find("Tentative connection cancelled."), std::string::npos) << log;
  EXPECT_NE(log.find("Button 'About' pressed."), std::string::npos) << log;
  EXPECT_NE(log.find("Application closed"), std::string::npos) << log;
}

TEST_F(TerminalEndToEnd, ATerminalThatCannotMoveItsCursorIsRefused) {
  Tmux tmux(80, 24, Tool("TERM=dumb"));
  ASSERT_TRUE(tmux.WaitFor("QELM-EXIT=1")) << tmux.last;
  EXPECT_NE(tmux.last.find("cannot use the terminal"), std::string::npos) << tmux.last;
  EXPECT_NE(tmux.last.find("no cursor addressing"), std::string::npos) << tmux.last;
}

TEST_F(TerminalEndToEnd, OnAVt100DisabledButtonsAreMarkedAndEscapeTypedDuringASaveWaits) {
  StorePreferences("COM1", "115200");
  RadioSimChild radio;
  ASSERT_TRUE(radio.Start({"--path", Link("com1"), "--model", "2410", "--firmware", "5.4", "--baud",
                           "115200", "--preset", "shrike", "--external"}));
  Tmux tmux(80, 24, Tool("TERM=vt100"));
  ASSERT_TRUE(tmux.WaitFor("< Connect >")) << tmux.last;
  // No dim attribute on a vt100: the disabled buttons are marked in characters.
  EXPECT_NE(tmux.last.find("- Save -"), std::string::npos) << tmux.last;
  tmux.Keys("Enter");
  ASSERT_TRUE(tmux.WaitFor("Waiting for radio at 115200 bps...")) << tmux.last;
  EXPECT_TRUE(radio.WaitForPortOpen()) << radio.Report();
  radio.Signal(SIGUSR1);
  ASSERT_TRUE(tmux.WaitFor("<Disconnect>")) << tmux.last;
  EXPECT_NE(tmux.last.find("< Save >"), std::string::npos) << tmux.last;
  // The Port list is disabled now: Tab goes to the Baudrate list, where "19" finds 19200 and
  // Enter opens the list and picks the entry instead of ending the tool.
  tmux.Keys("Tab 1 9");
  ASSERT_TRUE(tmux.WaitFor("[19200")) << tmux.last;
  tmux.Keys("Enter");
  ASSERT_TRUE(tmux.WaitFor("4800")) << tmux.last;  // the open list
  tmux.Keys("Enter");
  ASSERT_TRUE(tmux.WaitGone("4800")) << tmux.last;
  EXPECT_NE(LineWith(tmux.last, "Baudrate:").find("[19200"), std::string::npos) << tmux.last;
  // Save, and Escape typed while the store runs: the box waits for its user.
  tmux.Keys("M-s");
  ASSERT_TRUE(WaitUntil([&] { return Log().find("Button 'Save' pressed.") != std::string::npos; }))
      << Log();
  tmux.Keys("Escape");
  ASSERT_TRUE(tmux.WaitFor("Settings saved.", 20000)) << tmux.last;
  // Nothing can be waited for here: the box must stay. A second is long past the moment an
  // Escape still waiting to be read would have closed it.
  EXPECT_FALSE(tmux.WaitGone("Settings saved.", 1000)) << tmux.last;
  tmux.Keys("Enter");
  ASSERT_TRUE(tmux.WaitGone("Settings saved.")) << tmux.last;
  tmux.Keys("M-c");
  ASSERT_TRUE(tmux.WaitFor("QELM-EXIT=0")) << tmux.last;
  EXPECT_NE(Log().find("Settings stored OK."), std::string::npos) << Log();
}
