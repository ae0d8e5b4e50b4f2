// The serial port and the command exchange over the real termios layer against qelm-radio-sim
// on a pseudo-terminal, in real time.
#include <gtest/gtest.h>

#include <filesystem>

#include "SimProcess.h"
#include "platform/CodePage.h"
#include "serial/CSerialPort.h"
#include "serial/RadioExchange.h"
#include "serial/SerialHost.h"

namespace {

struct Host : SerialHost {
  std::vector<std::string> log;
  Host() { CSerialPort::Attach(this); }
  ~Host() override {
    CSerialPort::ClosePort();
    CSerialPort::Attach(nullptr);
  }
  void TakeControls() override {}
  std::u16string PortName() override { return u"COM2"; }
  void LogLine(const std::u16string& t) override { log.push_back(platform::WideToUtf8(t)); }
  int ShowMessage(const std::u16string&, const std::u16string&, unsigned) override { return 1; }
};

class SerialLinkEndToEnd : public ::testing::Test {
 protected:
  std::string Link() {
    return (std::filesystem::temp_directory_path() / ("qelm-link-" + std::to_string(getpid())))
        .string();
  }
};

TEST_F(SerialLinkEndToEnd, BannerAndACommandAtTheRightRateGarbageAtAWrongOne) {
  std::string link = Link();
  SimProcess radio(link, {"--model", "2400", "--firmware", "5.4", "--baud", "9600", "--internal"});
  ASSERT_TRUE(radio.Running());
  setenv("QELM_COM2", link.c_str(), 1);
  Host host;
  ASSERT_EQ(CSerialPort::OpenPort(u"9600", false), RC_OK);
  BannerValues banner;
  ASSERT_EQ(ReadBanner(&banner), 0);
  EXPECT_EQ(banner.modelNumber, 2400);
  EXPECT_EQ(banner.firmwareVersion, 5.4);
  EXPECT_TRUE(SendLine(":wit2400"));
  char drain[200];
  EXPECT_EQ(CSerialPort::ReadStr(drain, sizeof drain), RC_OK);
  int32_t link0 = -1;
  EXPECT_EQ(RadioCommand(u"wn3", &link0), 0);
  EXPECT_EQ(RadioCommand(u"wn?", &link0), 0);
  EXPECT_EQ(link0, 3);

  // Reopened at another rate, the radio's banner arrives as noise and commands get no prompt.
  ASSERT_EQ(CSerialPort::OpenPort(u"19200", false), RC_OK);
  EXPECT_NE(ReadBanner(&banner), 0);
  EXPECT_EQ(RadioCommand(u"wn?", &link0), 1);
  EXPECT_EQ(host.log.back(), "ERROR: RadioCommand error 2");
  firmwareLabel = kFirmwareNotConnected;
}

TEST_F(SerialLinkEndToEnd, RadioThatVanishesMidExchangeFailsTheReadsWithoutHanging) {
  std::string link = Link();
  SimProcess radio(link, {"--internal", "--fault", "vanish=wn?"});
  ASSERT_TRUE(radio.Running());
  setenv("QELM_COM2", link.c_str(), 1);
  Host host;
  ASSERT_EQ(CSerialPort::OpenPort(u"115200", false), RC_OK);
  BannerValues banner;
  ASSERT_EQ(ReadBanner(&banner), 0);
  SendLine(":wit2400");
  char drain[200];
  CSerialPort::ReadStr(drain, sizeof drain);
  int32_t value = 0;
  EXPECT_EQ(RadioCommand(u"wn?", &value), 1);
  EXPECT_EQ(RadioCommand(u"wb?", &value), 1);
  EXPECT_NE(std::find(host.log.begin(), host.log.end(), "ERROR: ReadChar RC_UNDEFINED."),
            host.log.end());
  EXPECT_NE(CSerialPort::QueryStatus().errors, 0u);
}

}  // namespace
