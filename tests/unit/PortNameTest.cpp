// The one parser of port names: each form it takes (a COM port, a device path, a relative path
// resolved against the working folder, a network name), each refusal with its reason, the port
// device names the providers are handed ("COM1:"), and the devices the port map holds.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/devices/PortMap.h"
#include "platform/devices/PortName.h"

namespace {

using platform::ParseDeviceName;
using platform::ParsePortDevice;
using platform::ParsePortName;
using platform::PortName;
using platform::PortNameFault;

// Runs a test in a folder of its own, and goes back where it was.
class InFolder {
 public:
  InFolder() {
    char dir[] = "/tmp/qelm-port-name-XXXXXX";
    if (::mkdtemp(dir)) path_ = dir;
    before_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~InFolder() {
    std::filesystem::current_path(before_);
    std::filesystem::remove_all(path_);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::filesystem::path before_;
};

PortNameFault FaultOf(std::string_view text) {
  PortNameFault fault = PortNameFault::kNone;
  EXPECT_FALSE(ParsePortName(text, &fault)) << text;
  return fault;
}

TEST(PortNameParse, ComPortsInAnyLetterCase) {
  for (const char* text : {"COM1", "com2", "Com3", "cOm1"}) {
    PortNameFault fault = PortNameFault::kUnknown;
    auto name = ParsePortName(text, &fault);
    ASSERT_TRUE(name) << text;
    EXPECT_EQ(fault, PortNameFault::kNone);
    EXPECT_EQ(name->kind, PortName::Kind::kCom);
    EXPECT_EQ(name->com, text[3] - '0');
    EXPECT_EQ(name->Text(), "COM" + std::string(1, text[3]));
  }
  for (const char* text : {"COM0", "COM4", "COM10", "COM", "COM1:", " COM1", "CON1"})
    EXPECT_EQ(FaultOf(text), PortNameFault::kUnknown) << text;
}

TEST(PortNameParse, AbsolutePathsStandAsWritten) {
  auto name = ParsePortName("/dev/ttyUSB0");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->kind, PortName::Kind::kPath);
  EXPECT_EQ(name->path, "/dev/ttyUSB0");
  EXPECT_EQ(name->Text(), "/dev/ttyUSB0");
  EXPECT_EQ(name->Device(), "/dev/ttyUSB0");
  // Another spelling of one device is for DeviceKey to see, not for the parser to rewrite.
  EXPECT_EQ(ParsePortName("/dev/../dev/ttyS1")->path, "/dev/../dev/ttyS1");
}

TEST(PortNameParse, RelativePathsAreResolvedAgainstTheWorkingFolder) {
  InFolder folder;
  ASSERT_FALSE(folder.Path().empty());
  const std::string real = std::filesystem::current_path().string();
  auto name = ParsePortName("./ttyV0");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->kind, PortName::Kind::kPath);
  EXPECT_EQ(name->path, real + "/ttyV0");
  EXPECT_EQ(ParsePortName("sub/../pts/3")->path, real + "/pts/3");
  EXPECT_EQ(ParsePortName("../x")->path, std::filesystem::path(real).parent_path().string() + "/x");
  // A bare word is a path only when something of that name is here.
  EXPECT_EQ(FaultOf("ttyV1"), PortNameFault::kUnknown);
  std::ofstream("ttyV1") << "";
  ASSERT_TRUE(ParsePortName("ttyV1"));
  EXPECT_EQ(ParsePortName("ttyV1")->path, real + "/ttyV1");
  // A file named like a port that is not one does not make it a path.
  std::ofstream("COM2") << "";
  EXPECT_EQ(ParsePortName("COM2")->kind, PortName::Kind::kCom);
}

TEST(PortNameParse, NetworkNamesInTheirNormalForm) {
  auto name = ParsePortName("RFC2217+TLS://gw1.example:4001");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->kind, PortName::Kind::kNetwork);
  EXPECT_TRUE(name->network.tls);
  EXPECT_EQ(name->network.host, "gw1.example");
  EXPECT_EQ(name->Text(), "rfc2217+tls://gw1.example:4001");
  EXPECT_EQ(name->Device(), "rfc2217+tls://gw1.example:4001");
  EXPECT_EQ(ParsePortName("rfc2217://[::1]:1")->Text(), "rfc2217://[::1]:1");
  for (const char* bad : {"rfc2217://", "rfc2217://h", "rfc2217://h:0", "rfc2217://h h:1",
                          "rfc2217://ipv4:4001", "RFC2217+tls://[::1:2"})
    EXPECT_EQ(FaultOf(bad), PortNameFault::kBadNetwork) << bad;
}

TEST(PortNameParse, UnsafeTextIsRefusedWithItsReason) {
  EXPECT_EQ(FaultOf(""), PortNameFault::kUnknown);
  EXPECT_EQ(FaultOf("/dev/tty\nS0"), PortNameFault::kControl);
  EXPECT_EQ(FaultOf("COM1\x7F"), PortNameFault::kControl);
  EXPECT_EQ(FaultOf(std::string("/dev/x\0y", 8)), PortNameFault::kControl);
  EXPECT_EQ(FaultOf("/" + std::string(platform::kMaxPortNameBytes, 'a')), PortNameFault::kTooLong);
  EXPECT_TRUE(ParsePortName("/" + std::string(platform::kMaxPortNameBytes - 1, 'a')));
  EXPECT_EQ(FaultOf("/dev/tty\xE9"), PortNameFault::kNotUtf8);
  EXPECT_EQ(FaultOf("/dev/\xC0\x80"), PortNameFault::kNotUtf8);      // overlong
  EXPECT_EQ(FaultOf("/dev/\xED\xA0\x80"), PortNameFault::kNotUtf8);  // a surrogate
  EXPECT_TRUE(ParsePortName("/dev/serial/by-id/usb-Caf\xC3\xA9-if00"));
  EXPECT_STREQ(platform::PortNameFaultText(PortNameFault::kControl), "control characters");
  EXPECT_STREQ(platform::PortNameFaultText(PortNameFault::kTooLong), "too long");
  EXPECT_STREQ(platform::PortNameFaultText(PortNameFault::kNotUtf8), "not UTF-8");
  // A relative path that resolves beyond the bound is as long as its resolved form.
  InFolder folder;
  EXPECT_EQ(FaultOf("./" + std::string(platform::kMaxPortNameBytes - 2, 'b')),
            PortNameFault::kTooLong);
}

TEST(PortDeviceParse, OnlyExactComNamesPathsAndNetworkNamesWithTheirColon) {
  EXPECT_EQ(ParsePortDevice(u"COM2:")->com, 2);
  EXPECT_EQ(ParsePortDevice(u"/dev/ttyUSB0:")->path, "/dev/ttyUSB0");
  EXPECT_EQ(ParsePortDevice(u"rfc2217://h:1:")->Text(), "rfc2217://h:1");
  for (const std::u16string& bad :
       {std::u16string(u""), std::u16string(u":"), std::u16string(u"COM1"),
        std::u16string(u"com1:"), std::u16string(u"COM4:"), std::u16string(u"COM1::"),
        std::u16string(u"dev/ttyS0:"), std::u16string(u"rfc2217://h h:1:"),
        std::u16string(u"/dev/x\0y:", 9)})
    EXPECT_FALSE(ParsePortDevice(bad)) << bad.size();
  // The port map's view of the same names.
  EXPECT_EQ(platform::ComPortNumber(u"COM3:"), 3);
  EXPECT_FALSE(platform::ComPortNumber(u"/dev/ttyS0:"));
}

TEST(DeviceNameParse, NetworkNamesAreParsedAndAnythingElseIsAPathAsItStands) {
  EXPECT_EQ(ParseDeviceName("rfc2217://gw:4001")->kind, PortName::Kind::kNetwork);
  EXPECT_EQ(ParseDeviceName("/dev/ttyS1")->path, "/dev/ttyS1");
  // The environment's relative path is opened as it stands, not resolved here.
  EXPECT_EQ(ParseDeviceName("ttyS1")->path, "ttyS1");
  PortNameFault fault = PortNameFault::kNone;
  EXPECT_FALSE(ParseDeviceName("rfc2217://bad name:1", &fault));
  EXPECT_EQ(fault, PortNameFault::kBadNetwork);
}

}  // namespace
