// The start-up list of ports against network ports, and what the connect procedure logs when
// the serial layer says why a port did not open.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "RadioDialogTest.h"

using namespace testing_support;

namespace {

// A loopback listener that completes connections and never answers.
class Silent {
 public:
  Silent() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd_, 4);
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    name_ = "rfc2217://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  }
  ~Silent() { close(fd_); }
  const std::string& Name() const { return name_; }

 private:
  int fd_;
  std::string name_;
};

TEST(PortProbe, NetworkPortsAreListedWithoutWaitingForTheirServers) {
  TempFolder folder;
  Silent a, b;
  setenv("QELM_COM1", a.Name().c_str(), 1);
  setenv("QELM_COM2", b.Name().c_str(), 1);
  setenv("QELM_COM3", "rfc2217://no such host:1", 1);  // not a name: not listed
  platform::HeadlessScope scope;
  CConfigApp app;
  auto start = std::chrono::steady_clock::now();
  {
    CConfigDlg dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(scope.ui.Items(D, IDC_PORT), (std::vector<std::u16string>{u"COM1", u"COM2"}));
  }
  unsetenv("QELM_COM1");
  unsetenv("QELM_COM2");
  unsetenv("QELM_COM3");
}

// Fails every opening with a reason of its own, as an unanswering server does.
class Unanswered final : public platform::SerialProvider {
 public:
  std::unique_ptr<platform::SerialDevice> CreateFile(const std::u16string&, int* error) override {
    *error = ETIMEDOUT;
    return nullptr;
  }
  std::string FailureText() const override { return "no answer from gw1:4001 in time"; }
};

TEST(PortProbe, TheReasonAPortDidNotOpenIsLoggedOnceBeforeTheProcedureGivesUp) {
  TempFolder folder;
  WriteFile(folder.PreferencesPath(), "[General]\nPort=COM1\nBaudrate=115200\n");
  platform::HeadlessScope scope;
  Unanswered ports;
  platform::SetSerialProvider(&ports);
  CConfigApp app;
  {
    CConfigDlg dlg;
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(scope.ui.Click(D, IDC_CONNECT));
    EXPECT_EQ(scope.ui.boxes.back().text, u"Cannot open port.");
  }
  platform::SetSerialProvider(nullptr);
  Texts log = UnstampedLines(ReadFile(folder.LogPath()));
  EXPECT_EQ(std::count(log.begin(), log.end(), "ERROR: no answer from gw1:4001 in time"), 1);
  EXPECT_EQ(std::count_if(
                log.begin(), log.end(),
                [](const std::string& l) { return l.rfind("ERROR: Could not open port", 0) == 0; }),
            4);
  EXPECT_EQ(log[log.size() - 2], "ERROR: Cannot open port. OnDetect returns.");
}

}  // namespace
