#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "TestSupport.h"
#include "log/CLogFile.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/ExclusiveFile.h"

using namespace testing_support;

namespace {

const std::string kSeparator(61, '-');

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetClock(&clock); }
  void TearDown() override { platform::SetClock(nullptr); }

  // A log of n numbered lines, as earlier runs would have left it.
  std::string Numbered(int n) {
    std::string bytes;
    for (int i = 1; i <= n; ++i) bytes += "line " + std::to_string(i) + "\r\n";
    return bytes;
  }
  ino_t Inode() {
    struct stat st {};
    stat(folder.LogPath().c_str(), &st);
    return st.st_ino;
  }

  TempFolder folder;
  platform::VirtualClock clock;
};

TEST_F(LogFileTest, FirstStartCreatesTheFileWithItsOpeningLines) {
  ASSERT_FALSE(std::filesystem::exists(folder.LogPath()));
  { CLogFile log(u"TUVAR_TOOL_Log.txt", 500); }
  EXPECT_EQ(ReadFile(folder.LogPath()), "\r\n" + kSeparator +
                                            "\r\n07/12/2026 9:05:03: Application started\r\n"
                                            "07/12/2026 9:05:03: Application closed\r\n");
}

TEST_F(LogFileTest, StampIsDayFirstWithTheHourUnpaddedAndTheRestTwoDigits) {
  platform::SYSTEMTIME t;
  t.wYear = 2027, t.wMonth = 3, t.wDay = 4, t.wHour = 0, t.wMinute = 7, t.wSecond = 9;
  clock.SetLocalTime(t);
  CLogFile log(u"TUVAR_TOOL_Log.txt", 500);
  clock.Advance((13ull * 3600 + 61) * 1000000);
  log.LogLine(u"later");
  auto lines = Lines(ReadFile(folder.LogPath()));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "04/03/2027 0:07:09: Application started");
  EXPECT_EQ(lines[3], "04/03/2027 13:08:10: later");
}

TEST_F(LogFileTest, LinesAreOnStorageAtOnceInTheSingleByteCodePage) {
  CLogFile log(u"TUVAR_TOOL_Log.txt", 500);
  log.LogLine(u"Button 'Connect' pressed.");
  EXPECT_EQ(Unstamped(Lines(ReadFile(folder.LogPath())).back()), "Button 'Connect' pressed.");
  log.LogLine(u"caf\u00e9 \u20ac");
  EXPECT_EQ(Unstamped(Lines(ReadFile(folder.LogPath())).back()), "caf\xe9 ?");
}

TEST_F(LogFileTest, ExactlyTheLimitIsRewrittenWithTheSameLines) {
  WriteFile(folder.LogPath(), Numbered(497));
  CLogFile log(u"TUVAR_TOOL_Log.txt", 500);
  std::string before = ReadFile(folder.LogPath());
  ino_t old = Inode();
  log.TrimToLimit();  // 497 + the three opening lines: exactly 500
  EXPECT_EQ(ReadFile(folder.LogPath()), before);
  EXPECT_NE(Inode(), old);
}

TEST_F(LogFileTest, OneLineBelowTheLimitIsNotTouchedEvenWithAFragment) {
  WriteFile(folder.LogPath(), Numbered(496));
  CLogFile log(u"TUVAR_TOOL_Log.txt", 500);  // 499 lines now
  WriteFile(folder.LogPath(), ReadFile(folder.LogPath()) + "fragment");
  std::string before = ReadFile(folder.LogPath());
  ino_t old = Inode();
  log.TrimToLimit();
  EXPECT_EQ(ReadFile(folder.LogPath()), before);
  EXPECT_EQ(Inode(), old);
}

TEST_F(LogFileTest, SixHundredLinesAtTheEndKeepLines101To600) {
  WriteFile(folder.LogPath(), Numbered(596));
  { CLogFile log(u"TUVAR_TOOL_Log.txt", 500); }  // + 3 opening lines + the closing one
  auto lines = Lines(ReadFile(folder.LogPath()));
  ASSERT_EQ(lines.size(), 500u);
  EXPECT_EQ(lines.front(), "line 101");
  EXPECT_EQ(Unstamped(lines.back()), "Application closed");
}

TEST_F(LogFileTest, ARunThatKeepsItselfWholeOutlastsTheLimitButNoMore) {
  const CLogFile::Sharing whole{0, true, true};
  // A long run: its own 703 lines all stay, and nothing from before it.
  WriteFile(folder.LogPath(), Numbered(50));
  {
    CLogFile log(u"TUVAR_TOOL_Log.txt", 500, whole);
    for (int i = 0; i < 699; ++i) log.LogLine(u"run line");
  }
  auto lines = Lines(ReadFile(folder.LogPath()));
  ASSERT_EQ(lines.size(), 703u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], kSeparator);
  EXPECT_EQ(Unstamped(lines[2]), "Application started");
  // A short run keeps the last 500 lines as any run does.
  {
    CLogFile log(u"TUVAR_TOOL_Log.txt", 500, whole);
    log.LogLine(u"short run");
  }
  lines = Lines(ReadFile(folder.LogPath()));
  ASSERT_EQ(lines.size(), 500u);
  EXPECT_EQ(Unstamped(lines.back()), "Application closed");
  // A run whose beginning another program trimmed away falls back to the plain rule.
  {
    CLogFile log(u"TUVAR_TOOL_Log.txt", 500, whole);
    for (int i = 0; i < 600; ++i) log.LogLine(u"more");
    WriteFile(folder.LogPath(), Numbered(700));
  }
  EXPECT_EQ(Lines(ReadFile(folder.LogPath())).size(), 500u);
}

TEST_F(LogFileTest, TrimDropsCarriageReturnsInsideLinesAndTheLastFragment) {
  std::string bytes;
  for (int i = 1; i <= 600; ++i) bytes += "a\rb" + std::to_string(i) + "\r\r\n";
  WriteFile(folder.LogPath(), bytes + "tail without line feed");
  CLogFile log(u"TUVAR_TOOL_Log.txt", 500);
  log.TrimToLimit();
  std::string out = ReadFile(folder.LogPath());
  auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 500u);
  EXPECT_EQ(out.find("a\r"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 2), "\r\n");
  // The fragment ran into the opening empty line: "tail without line feed" became one line,
  // and the three opening lines follow.
  EXPECT_EQ(lines[lines.size() - 3], "tail without line feed");
  EXPECT_EQ(lines[lines.size() - 2], kSeparator);
  EXPECT_EQ(lines.front(), "ab104");
}

TEST_F(LogFileTest, WriteProtectedLogIsASilentNoOperation) {
  WriteFile(folder.LogPath(), Numbered(600));
  chmod(folder.LogPath().c_str(), 0444);
  {
    CLogFile log(u"TUVAR_TOOL_Log.txt", 500);
    log.LogLine(u"lost");
  }
  EXPECT_EQ(ReadFile(folder.LogPath()), Numbered(600));
}

TEST_F(LogFileTest, MissingFolderLosesLinesWithoutTrouble) {
  CLogFile log(platform::Utf8ToWide(folder.Path() + "/no/such/folder/log.txt"), 500);
  log.LogLine(u"lost");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/no/such/folder/log.txt"));
}

TEST_F(LogFileTest, LineWrittenWhileAnotherHolderHasTheFileIsLost) {
  CLogFile log(u"TUVAR_TOOL_Log.txt", 500);
  {
    platform::ExclusiveFile other;
    ASSERT_TRUE(other.OpenAlways(folder.LogPath(), platform::ExclusiveFile::ReadWrite));
    log.LogLine(u"lost while held");
  }
  log.LogLine(u"written after");
  auto lines = UnstampedLines(ReadFile(folder.LogPath()));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], "written after");
}

TEST_F(LogFileTest, FailedWriteLeavesNoTornLineAndLaterLinesStillCome) {
  CLogFile log(u"TUVAR_TOOL_Log.txt", 500);
  size_t size = ReadFile(folder.LogPath()).size();
  // A child with a file-size limit just above the log plays the full storage.
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{size + 10, size + 10};
    setrlimit(RLIMIT_FSIZE, &lim);
    log.LogLine(u"this line is longer than the room that is left");
    log.LogLine(u"short");  // 27 bytes with its stamp: no room either
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(ReadFile(folder.LogPath()).size(), size);
  log.LogLine(u"room again");
  EXPECT_EQ(Unstamped(Lines(ReadFile(folder.LogPath())).back()), "room again");
}

TEST_F(LogFileTest, KillDuringTrimLeavesTheOldOrTheNewLogWhole) {
  std::string big;
  for (int i = 1; i <= 400000; ++i) big += "entry number " + std::to_string(i) + "\r\n";
  for (int delayUs : {0, 2000, 10000, 30000}) {
    WriteFile(folder.LogPath(), big);
    pid_t child = fork();
    if (child == 0) {
      CLogFile log(platform::Utf8ToWide(folder.Path() + "/unused.txt"), 500);
      CLogFile(platform::Utf8ToWide(folder.LogPath()), 500).TrimToLimit();
      _exit(0);
    }
    usleep(delayUs);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    std::string now = ReadFile(folder.LogPath());
    // The trimming object's own opening lines may or may not have been written before the kill.
    bool old = now.compare(0, big.size(), big) == 0;
    // Trimmed: the last 500 lines (the opening lines and perhaps the closing one among them),
    // or those and the closing line, when the kill came between its writing and the trim
    // that follows it.
    const size_t lines = Lines(now).size();
    bool fresh = (lines == 500 || lines == 501) &&
                 now.find("entry number 1\r\n") == std::string::npos &&
                 now.find("entry number 400000\r\n") != std::string::npos;
    EXPECT_TRUE(old || fresh) << "delay " << delayUs << " us: " << now.size() << " bytes";
  }
}

}  // namespace
