// A ser2net line that another client holds: refused with that reason when the server keeps
// its client, and when it gives the line to the newcomer the client that lost it is told why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "Ser2net.h"
#include "platform/devices/NetworkPortName.h"
#include "platform/devices/NetworkSerial.h"

using platform::NetworkSerial;

namespace {

class LineHolderTest : public ::testing::Test {
 protected:
  LineHolderTest() {
    char tmpl[] = "/tmp/qelm-holder-test-XXXXXX";
    folder_ = mkdtemp(tmpl);
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
  }
  ~LineHolderTest() override {
    close(master_);
    std::filesystem::remove_all(folder_);
  }
  std::unique_ptr<NetworkSerial> Open(const net_test::Ser2net& server, int* error,
                                      std::string* why) {
    auto name = platform::ParseNetworkPort(server.Name());
    return NetworkSerial::Open(*name, "", NetworkSerial::kConnectBoundMs, error, why);
  }
  std::string folder_;
  int master_ = -1;
};

TEST_F(LineHolderTest, ALineInUseIsRefusedWithThatReason) {
  net_test::Ser2net server(folder_, "s", {ptsname(master_)}, false, nullptr, false);
  int error = 0;
  std::string why;
  auto first = Open(server, &error, &why);
  ASSERT_NE(first, nullptr) << why;
  auto second = Open(server, &error, &why);
  EXPECT_EQ(second, nullptr);
  // The server's words come before its close; when the close resets the connection (our
  // telnet negotiation still unread there) they are lost, and the reason says what is left.
  const std::string endpoint = "127.0.0.1:" + std::to_string(server.Port());
  if (error == EBUSY) {
    EXPECT_EQ(why, endpoint + ": the line is in use by another client");
  } else {
    EXPECT_EQ(error, EIO);
    EXPECT_EQ(why, endpoint +
                       ": the server closed the connection at once: the line may be in use by "
                       "another client, or the server stopped");
  }
  // The holder keeps its line.
  EXPECT_EQ(first->LostReason(), "");
  platform::COMSTAT stat;
  uint32_t errors = 0;
  EXPECT_TRUE(first->ClearCommError(&errors, &stat));
}

TEST_F(LineHolderTest, AClientWhoseLineWasTakenIsToldWhy) {
  net_test::Ser2net server(folder_, "s", {ptsname(master_)});
  int error = 0;
  std::string why;
  auto first = Open(server, &error, &why);
  ASSERT_NE(first, nullptr) << why;
  auto second = Open(server, &error, &why);
  ASSERT_NE(second, nullptr) << why;
  platform::COMSTAT stat;
  uint32_t errors = 0;
  bool lost = false;
  for (int i = 0; i < 500 && !lost; ++i) {
    lost = !first->ClearCommError(&errors, &stat);
    if (!lost) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(lost);
  EXPECT_EQ(first->LastError(), EIO);
  EXPECT_EQ(first->LostReason(),
            "127.0.0.1:" + std::to_string(server.Port()) +
                ": the server closed the connection: another client took the line, or the "
                "server stopped");
}

}  // namespace
