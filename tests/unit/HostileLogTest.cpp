// The log on hostile ground: a full file system, a symbolic link, a directory or a FIFO in
// the log's place, a link planted under the name the trimming writes its new file to. Each
// line is written whole or lost whole, nothing outside the data folder is touched, nothing
// blocks, and the program goes on.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"
#include "log/CLogFile.h"

using namespace testing_support;

namespace {

const char16_t kName[] = u"TUVAR_TOOL_Log.txt";

// Runs a body in a child process and reports how it ended: its exit code, or 128 + the
// signal that ended it. A body that blocks is ended by an alarm after `seconds`.
int InChild(const std::function<int()>& body, unsigned seconds = 20) {
  pid_t pid = fork();
  if (pid == 0) {
    alarm(seconds);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool WholeLines(const std::string& bytes) {
  return bytes.empty() || (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0);
}

std::string OldLog(int lines) {
  std::string old;
  for (int i = 0; i < lines; ++i) old += "01/01/2026 1:00:00: line " + std::to_string(i) + "\r\n";
  return old;
}

// What a full device gives a writer: a refused write, not a signal.
void FileSizeLimit(rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit{bytes, bytes};
  setrlimit(RLIMIT_FSIZE, &limit);
}

TEST(HostileLog, FullFileSystemKeepsWholeLinesOnly) {
  TempFolder folder;
  const std::string old = OldLog(100);
  WriteFile(folder.LogPath(), old);
  const rlim_t room = old.size() + 70;  // room for one stamped line and a part of another
  int rc = InChild([&] {
    FileSizeLimit(room);
    CLogFile log(kName, 500);  // the opening lines and "Application started"
    for (int i = 0; i < 20; ++i) log.LogLine(u"Button 'Connect' pressed.");
    return 0;
  });
  EXPECT_EQ(rc, 0);
  const std::string now = ReadFile(folder.LogPath());
  EXPECT_EQ(now.compare(0, old.size(), old), 0) << "the old log is kept";
  EXPECT_GT(now.size(), old.size());
  EXPECT_LE(now.size(), room);
  EXPECT_TRUE(WholeLines(now));
}

TEST(HostileLog, FullFileSystemDuringTheTrimLeavesTheOldLogWhole) {
  TempFolder folder;
  const std::string old = OldLog(600);
  WriteFile(folder.LogPath(), old);
  int rc = InChild([&] {
    FileSizeLimit(old.size() / 2);  // the 500 kept lines do not fit
    CLogFile log(kName, 500);
    return 0;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(ReadFile(folder.LogPath()) == old);
  EXPECT_FALSE(std::filesystem::exists(folder.LogPath() + ".new"));
}

TEST(HostileLog, SymbolicLinkInTheLogsPlaceIsNotFollowed) {
  TempFolder folder;
  const std::string outside = folder.Path() + "/outside.txt";
  WriteFile(outside, "not the log\n");
  std::filesystem::create_directories(folder.Path() + "/data");
  ASSERT_EQ(symlink(outside.c_str(), folder.LogPath().c_str()), 0);
  {
    CLogFile log(kName, 0);  // a limit of 0 trims on every close
    log.LogLine(u"Button 'Close' pressed.");
  }
  EXPECT_EQ(ReadFile(outside), "not the log\n");
  EXPECT_TRUE(std::filesystem::is_symlink(folder.LogPath()));
}

TEST(HostileLog, DirectoryInTheLogsPlaceStaysAsItIs) {
  TempFolder folder;
  std::filesystem::create_directories(folder.LogPath());
  WriteFile(folder.LogPath() + "/inside", "kept");
  {
    CLogFile log(kName, 0);
    log.LogLine(u"Button 'Close' pressed.");
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder.LogPath()));
  EXPECT_EQ(ReadFile(folder.LogPath() + "/inside"), "kept");
}

TEST(HostileLog, FifoInTheLogsPlaceNeitherBlocksNorTakesTheLines) {
  TempFolder folder;
  std::filesystem::create_directories(folder.Path() + "/data");
  ASSERT_EQ(mkfifo(folder.LogPath().c_str(), 0644), 0);
  int rc = InChild([] {
    CLogFile log(kName, 0);
    log.LogLine(u"Button 'Close' pressed.");
    return 0;
  });
  EXPECT_EQ(rc, 0) << "ended by a signal (14: the alarm, so it blocked)";
  struct stat st {};
  ASSERT_EQ(lstat(folder.LogPath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(HostileLog, LinkPlantedUnderTheTrimmingsSideNameIsReplacedNotFollowed) {
  TempFolder folder;
  const std::string outside = folder.Path() + "/precious.txt";
  WriteFile(outside, "precious\n");
  std::string old;
  for (int i = 0; i < 10; ++i) old += "line " + std::to_string(i) + "\r\n";
  WriteFile(folder.LogPath(), old);
  ASSERT_EQ(symlink(outside.c_str(), (folder.LogPath() + ".new").c_str()), 0);
  {
    CLogFile log(kName, 3, CLogFile::Sharing{0, false});
    log.TrimToLimit();
  }
  EXPECT_EQ(ReadFile(outside), "precious\n");
  EXPECT_EQ(ReadFile(folder.LogPath()), "line 7\r\nline 8\r\nline 9\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder.LogPath() + ".new"));
}

}  // namespace
