// Network port names: a host name that gensio would read as a word of its address syntax is
// refused like any invalid host, and two names of one server line (a host name and its
// address, with or without TLS) are known as one device, by qelm-cli's fleet too.
#include <gtest/gtest.h>

#include <string>

#include "../cli/CliHarness.h"
#include "Ser2net.h"
#include "platform/devices/DeviceKey.h"
#include "platform/devices/NetworkPortName.h"

using namespace cli_test;

namespace {

TEST(NetworkNameTest, HostNamesTheLibraryReadsAsKeywordsAreRefused) {
  for (const char* host : {"ipv4", "IPv6", "ipv6n4", "tcp", "udp", "sctp", "unix"}) {
    EXPECT_FALSE(platform::ParseNetworkPort(std::string("rfc2217://") + host + ":4001")) << host;
    EXPECT_FALSE(platform::ParseNetworkPort(std::string("rfc2217+tls://") + host + ":4001"))
        << host;
  }
  // Names that only begin like a keyword are host names.
  for (const char* host : {"ipv4gw", "tcp-server", "unix1"})
    EXPECT_TRUE(platform::ParseNetworkPort(std::string("rfc2217://") + host + ":4001")) << host;
}

TEST(NetworkNameTest, OneServerLineIsOneDeviceWhateverItsName) {
  const std::string byName = platform::DeviceKey("rfc2217://localhost:4001");
  EXPECT_EQ(byName, platform::DeviceKey("rfc2217://127.0.0.1:4001"));
  EXPECT_EQ(byName, platform::DeviceKey("rfc2217+tls://LOCALHOST:4001"));
  EXPECT_NE(byName, platform::DeviceKey("rfc2217://127.0.0.1:4002"));
  EXPECT_EQ(byName, "net:127.0.0.1,4001");
  // A host that does not resolve is known by its name.
  EXPECT_EQ(platform::DeviceKey("rfc2217://no-such-host.invalid:4001"),
            "name:no-such-host.invalid:4001");
}

TEST(NetworkNameTest, AFleetNamingOneServerLineTwiceIsRefusedBeforeAnythingStarts) {
  Folder folder;
  const int port = net_test::FreePort();
  CliRun run = RunCli({"fleet", "--ports",
                       "rfc2217://localhost:" + std::to_string(port) +
                           ",rfc2217://127.0.0.1:" + std::to_string(port),
                       "--", "read"});
  EXPECT_EQ(run.status, 64);
  ASSERT_FALSE(run.err.empty());
  EXPECT_NE(run.err[0].find("are one device"), std::string::npos) << run.err[0];
}

}  // namespace
