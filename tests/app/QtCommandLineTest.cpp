// The command line as the application object gets it from the Qt start: the options Qt itself
// consumes are gone, the rest is one text. Each case runs the start in a child process, since a
// process can make only one QApplication.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/dialog/CWinApp.h"
#include "platform/dialog/qt/QtApplication.h"
#include "platform/system/CodePage.h"

namespace {

class RecordingApp : public platform::CWinApp {
 public:
  explicit RecordingApp(int fd) : CWinApp(u"QELM Config"), fd_(fd) {}
  bool InitInstance() override {
    std::string text = platform::WideToUtf8(m_lpCmdLine);
    if (write(fd_, text.data(), text.size()) < 0) _exit(2);
    return false;
  }

 private:
  int fd_;
};

std::string CommandLineSeen(std::vector<std::string> args) {
  int fds[2];
  if (pipe(fds) != 0) return "<pipe>";
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    RecordingApp app(fds[1]);
    _exit(platform::RunQtApplication(static_cast<int>(args.size()), argv.data()));
  }
  close(fds[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "<exit>";
  return out;
}

TEST(QtCommandLine, QtsOwnOptionsDoNotCountAndTheRestIsOneText) {
  EXPECT_EQ(CommandLineSeen({"qelm-config", "-platform", "offscreen", "/Service"}), "/Service");
  EXPECT_EQ(CommandLineSeen({"qelm-config", "/SERVICE", "-platform", "offscreen"}), "/SERVICE");
  EXPECT_EQ(CommandLineSeen({"qelm-config", "-platform", "offscreen", "/Service", "x"}),
            "/Service x");
  EXPECT_EQ(CommandLineSeen({"qelm-config", "-platform", "offscreen", "/Service "}), "/Service ");
  EXPECT_EQ(CommandLineSeen({"qelm-config", "-platform", "offscreen"}), "");
}

}  // namespace
