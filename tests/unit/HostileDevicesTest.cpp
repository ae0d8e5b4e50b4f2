// What a port's name may lead to, and what the program may touch. A device path that is a
// regular file, a directory or a FIFO is refused without being opened; a terminal another
// program has open counts as busy; only "COM1:" to "COM3:" map to a device, whatever the
// preferences or the combo boxes hold; and a whole session creates no file outside the log
// folder and the preferences folder.
#include <fcntl.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <set>

#include "FakePorts.h"
#include "RadioDialogTest.h"
#include "platform/devices/PortMap.h"
#include "platform/devices/TermiosSerial.h"

using namespace testing_support;

namespace {

// Counts the opens of a path from the moment it is made on.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    inotify_add_watch(fd_, path.c_str(), IN_OPEN);
  }
  ~OpenWatch() { close(fd_); }
  int Opens() {
    alignas(inotify_event) char buf[4096];
    ssize_t n = read(fd_, buf, sizeof buf);
    int count = 0;
    for (ssize_t at = 0; at < n;) {
      auto* e = reinterpret_cast<inotify_event*>(buf + at);
      count += (e->mask & IN_OPEN) != 0;
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
    return count;
  }

 private:
  int fd_;
};

TEST(HostileDevices, RegularFileDirectoryAndFifoAreRefusedWithoutBeingOpened) {
  TempFolder folder;
  const std::string file = folder.Path() + "/file", dir = folder.Path() + "/dir",
                    fifo = folder.Path() + "/fifo";
  WriteFile(file, "data");
  std::filesystem::create_directories(dir);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  for (const std::string& path : {file, dir, fifo}) {
    OpenWatch watch(path);
    int error = 0;
    EXPECT_EQ(platform::TermiosSerial::Open(path, &error), nullptr) << path;
    EXPECT_EQ(error, ENOTTY) << path;
    EXPECT_EQ(watch.Opens(), 0) << path;
  }
  EXPECT_EQ(ReadFile(file), "data");
}

TEST(HostileDevices, TerminalAnotherProgramHasOpenIsBusyUntilItLetsGo) {
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  close(slave);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    // Another program's session on the terminal: open, no lock of any kind.
    int fd = open(name, O_RDWR | O_NOCTTY);
    (void)!write(ready[1], "x", 1);
    pause();
    _exit(fd >= 0 ? 0 : 1);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  int error = 0;
  EXPECT_EQ(platform::TermiosSerial::Open(name, &error), nullptr);
  EXPECT_EQ(error, EBUSY);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  auto device = platform::TermiosSerial::Open(name, &error);
  EXPECT_NE(device, nullptr) << error;
  device.reset();
  close(ready[0]);
  close(ready[1]);
  close(master);
}

TEST(HostilePortNames, OnlyTheThreePortNamesMapToADevice) {
  for (const char16_t* name : {u"COM1:", u"COM2:", u"COM3:"})
    EXPECT_TRUE(platform::ComPortNumber(name).has_value());
  const std::u16string hostile[] = {u"",
                                    u":",
                                    u"COM1",
                                    u"COM4:",
                                    u"COM0:",
                                    u"com1:",
                                    u"COM1::",
                                    u"COM10:",
                                    u"../../etc/passwd",
                                    u"../../etc/passwd:",
                                    u"/dev/ttyS0",
                                    std::u16string(u"COM1:\0x", 7),
                                    std::u16string(300, u'C') + u":"};
  for (const std::u16string& name : hostile)
    EXPECT_FALSE(platform::DevicePathForPort(name).has_value()) << name.size();
}

// Records every name the program asks the serial layer for.
class NameRecorder final : public platform::SerialProvider {
 public:
  std::unique_ptr<platform::SerialDevice> CreateFile(const std::u16string& name,
                                                     int* lastError) override {
    asked.insert(name);
    return inner.CreateFile(name, lastError);
  }
  FakePorts inner;
  std::set<std::u16string> asked;
};

TEST(HostilePortNames, StoredPortOfAnyTextOpensNothingButTheThreePorts) {
  // A value too long for the read buffer fails to read, and the default COM1 stands.
  const std::pair<std::string, int> stored[] = {{"../../etc/passwd", -1},
                                                {"COM4", -1},
                                                {"COM1:", -1},
                                                {"/dev/ttyS0", -1},
                                                {std::string(300, 'C'), 0}};
  for (const auto& [port, selection] : stored) {
    TempFolder folder;
    WriteFile(folder.PreferencesPath(), "[General]\nPort=" + port + "\nBaudrate=115200\n");
    platform::HeadlessScope scope;
    NameRecorder ports;
    platform::SetSerialProvider(&ports);
    CConfigApp app;
    {
      CConfigDlg dlg;
      ASSERT_TRUE(dlg.Create());
      EXPECT_EQ(scope.ui.Selection(D, IDC_PORT), selection) << port;
      if (selection < 0) {
        ASSERT_TRUE(scope.ui.Click(D, IDC_CONNECT));  // fails five times, as for a missing port
        EXPECT_EQ(scope.ui.boxes.back().text, u"Cannot open port.");
      }
    }
    platform::SetSerialProvider(nullptr);
    for (const std::u16string& name : ports.asked) {
      const bool mapped = name == u"COM1:" || name == u"COM2:" || name == u"COM3:";
      EXPECT_TRUE(mapped || !platform::DevicePathForPort(name)) << port;
    }
  }
}

// Points an environment variable somewhere for the life of a scope.
class EnvFor {
 public:
  EnvFor(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~EnvFor() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

using WholeSession = RadioDialogTest;

// A whole session (connect, save, connect again, maker defaults, close) with every folder the
// program could write to pointed into one place, and started from an empty folder.
TEST_F(WholeSession, CreatesFilesOnlyInTheLogAndPreferencesFolders) {
  const std::string root = folder.Path();
  for (const char* sub : {"/home", "/tmp", "/state", "/cache", "/cwd"})
    std::filesystem::create_directories(root + sub);
  EnvFor home("HOME", root + "/home"), tmp("TMPDIR", root + "/tmp"),
      state("XDG_STATE_HOME", root + "/state"), cache("XDG_CACHE_HOME", root + "/cache");
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(root + "/cwd");

  sim::RadioConfig config = Radio("shrike");
  config.reconnectAfterOpenMs = 400;
  ports.Attach(u"COM1:", config);
  Open(u"COM1", u"115200");
  Connect();
  ASSERT_EQ(ui.Text(D, IDC_CONNECT), u"Disco&nnect");
  ASSERT_TRUE(ui.SelectText(D, IDC_LINK, u"7"));
  ASSERT_TRUE(ui.Click(D, IDC_SAVE));
  Connect();
  ui.AnswerNext(platform::IDYES);
  ASSERT_TRUE(ui.Click(D, IDC_DEFAULT));
  ASSERT_TRUE(ui.Click(D, IDC_CLOSE));
  dlg.reset();  // "Application closed" and the trimming
  std::filesystem::current_path(cwd);

  std::set<std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    if (!e.is_directory()) files.insert(e.path().string().substr(root.size()));
  EXPECT_EQ(files, (std::set<std::string>{"/data/TUVAR_TOOL_Log.txt",
                                          "/config/Morva Fendral/QELM Config Tool.conf"}));
}

}  // namespace
