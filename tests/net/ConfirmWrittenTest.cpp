// The network device's confirmation that what was written has reached the server: it comes
// only after the server has read every byte (through a slow path, a large write still on its
// way is never overtaken by the question), and a connection that is lost gives EIO, a server
// that stopped a time-out within the bound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "DelayProxy.h"
#include "Ser2net.h"
#include "platform/devices/NetworkPortName.h"
#include "platform/devices/NetworkSerial.h"

using platform::NetworkSerial;

namespace {

class ConfirmWrittenTest : public ::testing::Test {
 protected:
  ConfirmWrittenTest() {
    char tmpl[] = "/tmp/qelm-confirm-test-XXXXXX";
    folder_ = mkdtemp(tmpl);
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    grantpt(master_);
    unlockpt(master_);
    server_ = std::make_unique<net_test::Ser2net>(folder_, "s",
                                                  std::vector<std::string>{ptsname(master_)});
  }
  ~ConfirmWrittenTest() override {
    server_.reset();
    close(master_);
    std::filesystem::remove_all(folder_);
  }
  std::unique_ptr<NetworkSerial> Open(int port) {
    auto name = platform::ParseNetworkPort("rfc2217://127.0.0.1:" + std::to_string(port));
    int error = 0;
    std::string why;
    auto device = NetworkSerial::Open(*name, "", 10000, &error, &why);
    EXPECT_NE(device, nullptr) << why;
    return device;
  }
  // What reaches the far line, until n bytes have come or the bound passed.
  size_t Arrived(size_t n, int boundMs) {
    size_t got = 0;
    char buf[4096];
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (got < n && std::chrono::steady_clock::now() < until) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      ssize_t r = read(master_, buf, sizeof buf);
      if (r > 0) got += static_cast<size_t>(r);
    }
    return got;
  }

  std::string folder_;
  int master_ = -1;
  std::unique_ptr<net_test::Ser2net> server_;
};

TEST_F(ConfirmWrittenTest, TheConfirmationComesAfterTheServerHasReadEverything) {
  // 100 ms each way: the question would come back in 200 ms if it overtook the data.
  net_test::DelayProxy slow(server_->Port(), 100);
  auto device = Open(slow.Port());
  ASSERT_NE(device, nullptr);
  const std::string block(30000, 'a');
  // The far line is read as it fills, as a radio would take it.
  size_t arrived = 0;
  std::thread reader([&] { arrived = Arrived(block.size(), 30000); });
  uint32_t written = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(device->WriteFile(block.data(), static_cast<uint32_t>(block.size()), &written));
  EXPECT_EQ(written, block.size());
  EXPECT_TRUE(device->ConfirmWritten(20000)) << device->LastError();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  reader.join();
  EXPECT_EQ(arrived, block.size());
}

TEST_F(ConfirmWrittenTest, ALostConnectionIsEioAndAStoppedServerATimeOut) {
  auto device = Open(server_->Port());
  ASSERT_NE(device, nullptr);
  uint32_t written = 0;
  ASSERT_TRUE(device->WriteFile("m>\r\n", 4, &written));

  server_->Signal(SIGSTOP);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(device->ConfirmWritten(500));
  EXPECT_EQ(device->LastError(), ETIMEDOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
  server_->Signal(SIGCONT);
  EXPECT_TRUE(device->ConfirmWritten(5000));

  server_->Kill();
  EXPECT_FALSE(device->ConfirmWritten(5000));
  EXPECT_EQ(device->LastError(), EIO);
}

}  // namespace
