// The serial port and the command exchange over the real termios layer against qelm-radio-sim
// on a pseudo-terminal, in real time.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "SimProcess.h"
#include "platform/system/CodePage.h"
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
  // Starts a stand-in as the program's COM2.
  void StartRadio(std::vector<std::string> options) {
    std::string link =
        (std::filesystem::temp_directory_path() / ("qelm-link-" + std::to_string(getpid())))
            .string();
    radio = std::make_unique<SimProcess>(link, std::move(options));
    ASSERT_TRUE(radio->Running());
    setenv("QELM_COM2", link.c_str(), 1);
  }
  // Opens the port, reads the banner and puts the radio into command mode; false when the
  // banner did not come. The emptying read's result is that of the last step.
  bool OpenAndEnterCommandMode(const std::u16string& rate, BannerValues* banner, int* drained) {
    if (CSerialPort::OpenPort(rate, false) != RC_OK || ReadBanner(banner) != 0) return false;
    sentWit = SendLine(":wit2400");
    char unread[200];
    *drained = CSerialPort::ReadStr(unread, sizeof unread);
    return true;
  }

  std::unique_ptr<SimProcess> radio;
  bool sentWit = false;
};

TEST_F(SerialLinkEndToEnd, BannerAndACommandAtTheRightRateGarbageAtAWrongOne) {
  StartRadio({"--model", "2400", "--firmware", "5.4", "--baud", "9600", "--internal"});
  Host host;
  BannerValues banner;
  int drained = -1;
  ASSERT_TRUE(OpenAndEnterCommandMode(u"9600", &banner, &drained));
  EXPECT_EQ(banner.modelNumber, 2400);
  EXPECT_EQ(banner.firmwareVersion, 5.4);
  EXPECT_TRUE(sentWit);
  EXPECT_EQ(drained, RC_OK);
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
  StartRadio({"--internal", "--fault", "vanish=wn?"});
  Host host;
  BannerValues banner;
  int drained = -1;
  ASSERT_TRUE(OpenAndEnterCommandMode(u"115200", &banner, &drained));
  int32_t value = 0;
  EXPECT_EQ(RadioCommand(u"wn?", &value), 1);
  EXPECT_EQ(RadioCommand(u"wb?", &value), 1);
  EXPECT_NE(std::find(host.log.begin(), host.log.end(), "ERROR: ReadChar RC_UNDEFINED."),
            host.log.end());
  EXPECT_NE(CSerialPort::QueryStatus().errors, 0u);
}

}  // namespace
