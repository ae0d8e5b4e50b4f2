// The port map (environment, else the preferences' Ports group, else the adapters present,
// never the kernel's console by default) and the network port names it may hold.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/devices/NetworkPortName.h"
#include "platform/devices/PortMap.h"

namespace {

using platform::MapPort;
using platform::PortSource;
using platform::PortSources;

PortSources Sources(std::map<int, std::string> env, std::map<int, std::string> prefs,
                    std::vector<std::string> adapters, std::string console = "") {
  PortSources s;
  s.environment = [env](int n) { return env.count(n) ? env.at(n) : ""; };
  s.preferences = [prefs](int n) { return prefs.count(n) ? prefs.at(n) : ""; };
  s.adapters = std::move(adapters);
  s.console = [console](const std::string& d) { return !console.empty() && d == console; };
  return s;
}

TEST(PortMap, EnvironmentThenPreferencesThenAdaptersThenTheOldDefaults) {
  const std::string usb0 = "/dev/serial/by-id/usb-A", usb1 = "/dev/serial/by-id/usb-B";
  auto s = Sources({{1, "rfc2217://gw1:4001"}}, {{1, "/dev/ttyX"}, {2, "/dev/ttyY"}}, {usb0, usb1});
  EXPECT_EQ(MapPort(1, s)->device, "rfc2217://gw1:4001");
  EXPECT_EQ(MapPort(1, s)->source, PortSource::kEnvironment);
  EXPECT_EQ(MapPort(2, s)->device, "/dev/ttyY");
  EXPECT_EQ(MapPort(2, s)->source, PortSource::kPreferences);
  EXPECT_EQ(MapPort(3, s)->device, "/dev/ttyS2");

  s = Sources({}, {}, {usb0, usb1});
  EXPECT_EQ(MapPort(1, s)->device, usb0);
  EXPECT_EQ(MapPort(2, s)->device, usb1);
  EXPECT_EQ(MapPort(2, s)->source, PortSource::kAdapter);
  s = Sources({}, {}, {usb0});
  EXPECT_EQ(MapPort(2, s)->device, "/dev/ttyS1");
  EXPECT_FALSE(MapPort(0, s));
  EXPECT_FALSE(MapPort(4, s));
}

TEST(PortMap, TheConsoleIsNeverADefaultButMayBeNamed) {
  auto s = Sources({}, {}, {}, "/dev/ttyS0");
  EXPECT_FALSE(MapPort(1, s));
  EXPECT_EQ(MapPort(2, s)->device, "/dev/ttyS1");
  s = Sources({}, {}, {"/dev/ttyS0", "/dev/serial/by-id/usb-A"}, "/dev/ttyS0");
  EXPECT_EQ(MapPort(1, s)->device, "/dev/serial/by-id/usb-A");
  s = Sources({{1, "/dev/ttyS0"}}, {}, {}, "/dev/ttyS0");
  EXPECT_EQ(MapPort(1, s)->device, "/dev/ttyS0");
  s = Sources({}, {{1, "/dev/ttyS0"}}, {}, "/dev/ttyS0");
  EXPECT_EQ(MapPort(1, s)->device, "/dev/ttyS0");
}

TEST(NetworkPortNames, HostsPortsAndTheTlsForm) {
  auto n = platform::ParseNetworkPort("rfc2217://gw1.example:4001");
  ASSERT_TRUE(n);
  EXPECT_FALSE(n->tls);
  EXPECT_EQ(n->host, "gw1.example");
  EXPECT_EQ(n->port, "4001");
  n = platform::ParseNetworkPort("RFC2217+TLS://[::1]:65535");
  ASSERT_TRUE(n);
  EXPECT_TRUE(n->tls);
  EXPECT_TRUE(n->ipv6);
  EXPECT_EQ(n->host, "::1");
  EXPECT_EQ(n->Endpoint(), "[::1]:65535");
  EXPECT_EQ(n->Name(), "rfc2217+tls://[::1]:65535");
  EXPECT_EQ(platform::ParseNetworkPort("rfc2217://127.0.0.1:1")->Endpoint(), "127.0.0.1:1");
}

TEST(NetworkPortNames, AnythingElseIsRefusedBeforeItReachesTheLibrary) {
  for (const char* bad :
       {"rfc2217://",           "rfc2217://host",        "rfc2217://host:",    "rfc2217://:4001",
        "rfc2217://h:0",        "rfc2217://h:65536",     "rfc2217://h:04001",  "rfc2217://h:40x1",
        "rfc2217://h,tcp:4001", "rfc2217://h(x):4001",   "rfc2217://h h:4001", "rfc2217://::1:4001",
        "rfc2217://[::1:4001",  "rfc2217://[g::1]:4001", "rfc2217://-h:4001",  "telnet://h:4001",
        "rfc2217+ssl://h:1",    "rfc2217://\"h\":1",     "/dev/ttyS0",         ""})
    EXPECT_FALSE(platform::ParseNetworkPort(bad)) << bad;
  EXPECT_TRUE(platform::LooksLikeNetworkPort("rfc2217://bad name"));
  EXPECT_FALSE(platform::LooksLikeNetworkPort("/dev/ttyS0"));
}

}  // namespace
