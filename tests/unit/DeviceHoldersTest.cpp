// The one scan of /proc for who holds a device: what the exclusive open asks (anyone at all?)
// and what the ports listing shows (which processes, by name), against pseudo-terminals that
// child processes hold open without any lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/devices/DeviceHolders.h"
#include "platform/devices/SerialInventory.h"

namespace {

// A child process that holds the terminal open under a name of its own until it is ended.
class Holder {
 public:
  Holder(const std::string& path, const char* name) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_NAME, name);
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
      (void)!::write(ready[1], fd >= 0 ? "y" : "n", 1);
      ::pause();
      ::_exit(0);
    }
    char c = 0;
    held_ = pid_ > 0 && ::read(ready[0], &c, 1) == 1 && c == 'y';
    ::close(ready[0]);
    ::close(ready[1]);
  }
  ~Holder() { End(); }
  void End() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  pid_t Pid() const { return pid_; }
  bool Held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

TEST(DeviceHolders, OneScanNamesEachOtherHolderAndStopsAtTheLimit) {
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  struct stat st {};
  ASSERT_EQ(::stat(name, &st), 0);
  // This process's own opening is no other holder.
  EXPECT_FALSE(platform::OpenElsewhere(st.st_rdev));
  EXPECT_TRUE(platform::HoldersOf(name).empty());
  {
    Holder first(name, "qelm-holder-a"), second(name, "qelm-holder-b");
    ASSERT_TRUE(first.Held());
    ASSERT_TRUE(second.Held());
    EXPECT_TRUE(platform::OpenElsewhere(st.st_rdev));
    const std::vector<platform::DeviceHolder> all = platform::HoldersOfDevice(st.st_rdev);
    ASSERT_EQ(all.size(), 2u);
    const bool firstIsLower = first.Pid() < second.Pid();
    EXPECT_EQ(all[0].pid, firstIsLower ? first.Pid() : second.Pid());
    EXPECT_EQ(all[0].command, firstIsLower ? "qelm-holder-a" : "qelm-holder-b");
    EXPECT_EQ(all[1].command, firstIsLower ? "qelm-holder-b" : "qelm-holder-a");
    EXPECT_EQ(platform::HoldersOfDevice(st.st_rdev, 1).size(), 1u);
    // The listing by path asks the same scan.
    const std::vector<platform::DeviceHolder> byPath = platform::HoldersOf(name);
    ASSERT_EQ(byPath.size(), 2u);
    EXPECT_EQ(byPath[0].pid, all[0].pid);
    first.End();
    ASSERT_EQ(platform::HoldersOfDevice(st.st_rdev).size(), 1u);
    EXPECT_EQ(platform::HoldersOfDevice(st.st_rdev)[0].pid, second.Pid());
  }
  EXPECT_FALSE(platform::OpenElsewhere(st.st_rdev));
  // What is not a character device has no holders to find.
  EXPECT_TRUE(platform::HoldersOf("/tmp").empty());
  ::close(slave);
  ::close(master);
}

}  // namespace
