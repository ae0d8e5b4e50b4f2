// Child processes and stop requests on Windows, under wine: a fleet's children are made with
// CreateProcessW, their output comes back line by line with their end, and a signal passed on
// reaches the child's stop handler through its named stop events. The child is this program
// again, running only the WindowsStopChild case (QELM_STOP_CHILD set).
#include <gtest/gtest.h>
#include <process.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/system/CodePage.h"
#include "platform/system/ModulePath.h"
#include "platform/system/ProcessGroup.h"
#include "platform/system/ProgramArguments.h"
#include "platform/system/StopSignals.h"

namespace {

using Event = platform::ProcessGroup::Event;

// Waits (bounded by the group's idle report) for the next event that is not idle.
bool NextEvent(platform::ProcessGroup& group, Event* e) {
  for (int idle = 0; idle < 300; ++idle) {
    if (!group.Next(e, -1, 100)) return false;
    if (e->kind != Event::kIdle) return true;
  }
  return false;
}

TEST(WindowsProcesses, OutputLinesArgumentsAndTheEndComeBack) {
  platform::ProcessGroup group;
  _putenv_s("QELM_ECHO_CHILD", "1");
  const std::string word = "two \"quoted\" words, Z\xC3\xBCrich \xE2\x82\xAC\\";
  const int child = group.Start({platform::WideToUtf8(platform::ModuleFileName()),
                                 "--gtest_filter=WindowsEchoChild.*", "--gtest_brief=1", word});
  _putenv_s("QELM_ECHO_CHILD", "");
  ASSERT_EQ(child, 0);
  std::string err;
  bool sawOne = false;
  int status = -1;
  Event e;
  while (NextEvent(group, &e)) {
    if (e.kind == Event::kOutLine && e.line == "one") sawOne = true;
    if (e.kind == Event::kErrLine) err += e.line;
    if (e.kind == Event::kEnded) status = e.status;
  }
  EXPECT_TRUE(sawOne);
  EXPECT_EQ(err, word);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(group.Running(), 0);
  EXPECT_EQ(group.Start({"C:\\no\\such\\program.exe"}), -1);
}

TEST(WindowsProcesses, ASignalPassedOnReachesTheChildsStopHandler) {
  platform::ProcessGroup group;
  _putenv_s("QELM_STOP_CHILD", "1");
  const int child = group.Start({platform::WideToUtf8(platform::ModuleFileName()),
                                 "--gtest_filter=WindowsStopChild.*", "--gtest_brief=1"});
  _putenv_s("QELM_STOP_CHILD", "");
  ASSERT_EQ(child, 0);
  bool signalled = false;
  int status = -1;
  Event e;
  while (NextEvent(group, &e)) {
    if (e.kind == Event::kOutLine && e.line == "ready" && !signalled) {
      group.Signal(child, 2);
      signalled = true;
    }
    if (e.kind == Event::kEnded) status = e.status;
  }
  EXPECT_TRUE(signalled);
  EXPECT_EQ(status, platform::SignalStatus(2));
}

TEST(WindowsProcesses, AChildWhoseParentHasGoneIsAskedToStopOnce) {
  const auto mark = std::filesystem::temp_directory_path() / "qelm-orphan-stopped.txt";
  std::filesystem::remove(mark);
  platform::ProcessGroup group;
  _putenv_s("QELM_PARENT_CHILD", mark.string().c_str());
  const int child = group.Start({platform::WideToUtf8(platform::ModuleFileName()),
                                 "--gtest_filter=WindowsParentChild.*", "--gtest_brief=1"});
  _putenv_s("QELM_PARENT_CHILD", "");
  ASSERT_EQ(child, 0);
  Event e;
  while (NextEvent(group, &e)) {
  }
  // The grandchild outlives its parent, is told once and ends with SIGTERM's status.
  std::string text;
  for (int i = 0; i < 200 && text.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream in(mark);
    std::getline(in, text);
  }
  EXPECT_EQ(text, "stop 15 1");
  std::filesystem::remove(mark);
}

// A child that starts a grandchild (this program again, as WindowsOrphanChild) and ends
// without waiting for it.
TEST(WindowsParentChild, StartsAnOrphan) {
  const char* mark = std::getenv("QELM_PARENT_CHILD");
  if (!mark || !*mark) GTEST_SKIP() << "run by AChildWhoseParentHasGoneIsAskedToStopOnce";
  _putenv_s("QELM_ORPHAN_CHILD", mark);
  _putenv_s("QELM_PARENT_CHILD", "");
  const std::string self = platform::WideToUtf8(platform::ModuleFileName());
  ASSERT_NE(_spawnl(_P_NOWAIT, self.c_str(), self.c_str(), "--gtest_filter=WindowsOrphanChild.*",
                    nullptr),
            -1);
  // Long enough for the grandchild to watch its parent.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
}

TEST(WindowsOrphanChild, IsToldWhenItsParentEnds) {
  static const char* mark = std::getenv("QELM_ORPHAN_CHILD");
  if (!mark || !*mark) GTEST_SKIP() << "run by AChildWhoseParentHasGoneIsAskedToStopOnce";
  platform::DieWithParent();
  platform::StopSignals::Start([](int signal, int count) {
    std::ofstream(mark) << "stop " << signal << " " << count << "\n";
    platform::StopSignals::ExitNow(platform::SignalStatus(signal));
  });
  std::this_thread::sleep_for(std::chrono::seconds(30));
  FAIL() << "the parent's end was not told";
}

// A child that writes a line to each output, its last argument to standard error, and ends
// with status 3.
TEST(WindowsEchoChild, WritesAndEnds) {
  const char* child = std::getenv("QELM_ECHO_CHILD");
  if (!child || !*child) GTEST_SKIP() << "run by OutputLinesArgumentsAndTheEndComeBack";
  std::printf("one\n");
  platform::ProgramArguments arguments(__argc, __argv);
  std::fprintf(stderr, "%s\n", arguments.Argv()[arguments.Count() - 1]);
  std::fflush(nullptr);
  std::exit(3);
}

// The child's side: it says it is ready and ends with the status of the signal it gets.
TEST(WindowsStopChild, EndsWithTheSignalItGets) {
  const char* child = std::getenv("QELM_STOP_CHILD");
  if (!child || !*child) GTEST_SKIP() << "run by ASignalPassedOnReachesTheChildsStopHandler";
  platform::StopSignals::Start(
      [](int signal, int) { platform::StopSignals::ExitNow(platform::SignalStatus(signal)); });
  std::printf("ready\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(30));
  FAIL() << "no signal came";
}

}  // namespace
