#include "FakePorts.h"
#include "SerialTestHost.h"
#include "TestSupport.h"
#include "platform/system/Clock.h"
#include "serial/CSerialPort.h"

using namespace testing_support;
using Texts = std::vector<std::string>;

namespace {

class SerialPortTest : public ::testing::Test {
 protected:
  uint64_t NowMs() { return clock.NowUs() / 1000; }
  FakeLine& Open(const std::u16string& rate = u"9600") {
    EXPECT_EQ(CSerialPort::OpenPort(rate, true), RC_OK);
    host.log.clear();
    return ports.Line(u"COM1:");
  }

  platform::VirtualClock clock;
  platform::ScopedClock useClock{clock};
  FakePorts ports;
  SerialTestHost host;
};

TEST_F(SerialPortTest, EveryOperationOnAClosedPortFailsWithItsOwnLine) {
  char c = 0, buf[8];
  EXPECT_EQ(CSerialPort::ReadChar(&c), RC_PORT_NOT_OPEN);
  EXPECT_EQ(CSerialPort::WriteStr("x"), RC_PORT_NOT_OPEN);
  EXPECT_EQ(CSerialPort::ReadStr(buf, sizeof buf), RC_PORT_NOT_OPEN);
  EXPECT_EQ(CSerialPort::ReadTerminatedStr(buf, sizeof buf, '>'), RC_PORT_NOT_OPEN);
  EXPECT_FALSE(CSerialPort::PortWrite('\r'));
  EXPECT_EQ(host.log,
            (Texts{"ERROR: ReadChar RC_PORT_NOT_OPEN.", "ERROR: WriteStr RC_PORT_NOT_OPEN.",
                   "ERROR: ReadStr RC_PORT_NOT_OPEN.", "ERROR: ReadTerminatedStr RC_PORT_NOT_OPEN.",
                   "ERROR 9: PortWrite failed."}));
  host.log.clear();
  Open();
  CSerialPort::ClosePort();
  EXPECT_EQ(CSerialPort::ReadChar(&c), RC_PORT_NOT_OPEN);
  EXPECT_EQ(host.log, (Texts{"ERROR: ReadChar RC_PORT_NOT_OPEN."}));
}

TEST_F(SerialPortTest, OpeningAMissingPortFailsSilentlyOrWithItsMessage) {
  host.port = u"COM2";
  ports.present.erase(u"COM2:");
  EXPECT_EQ(CSerialPort::OpenPort(u"9600", false), RC_OPEN_FAILED);
  EXPECT_TRUE(host.log.empty());
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(CSerialPort::OpenPort(u"9600", true), RC_OPEN_FAILED);
  EXPECT_EQ(host.log, (Texts{"Couldn't open port COM2. rc=2\r\n"}));
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, u"Couldn't open port COM2. rc=2\r\n");
  EXPECT_EQ(host.boxes[0].caption, u"Error");
  EXPECT_EQ(host.takes, 2);  // the Port choice is taken from the dialog at every open
  EXPECT_FALSE(CSerialPort::IsOpen());
}

TEST_F(SerialPortTest, OpenConfiguresTheLineAfterTheSettlingPauseAndPurge) {
  uint64_t start = NowMs();
  ports.Line(u"COM1:").dcb.fOutxCtsFlow = true;  // what the driver had must not survive
  ports.Line(u"COM1:").dcb.fDtrControl = 0;
  ASSERT_EQ(CSerialPort::OpenPort(u"14400", false), RC_OK);
  EXPECT_EQ(NowMs() - start, 200u);
  const FakeLine& line = ports.Line(u"COM1:");
  EXPECT_EQ(line.purges, (std::vector<uint32_t>{0xF}));
  EXPECT_EQ(line.dcb.BaudRate, 14400u);
  EXPECT_EQ(line.dcb.ByteSize, 8);
  EXPECT_EQ(line.dcb.Parity, 0);
  EXPECT_EQ(line.dcb.StopBits, 0);
  EXPECT_FALSE(line.dcb.fOutxCtsFlow);
  EXPECT_FALSE(line.dcb.fOutX);
  EXPECT_EQ(line.dcb.fDtrControl, 1);
  EXPECT_EQ(line.dcb.fRtsControl, 1);
  EXPECT_TRUE(line.dcb.fTXContinueOnXoff);
  EXPECT_EQ(line.timeouts.ReadTotalTimeoutConstant, 100u);
  EXPECT_EQ(line.timeouts.ReadIntervalTimeout, 0u);
  EXPECT_EQ(line.timeouts.WriteTotalTimeoutConstant, 0u);
  // Opening again closes first; a rate that is not a number gives 0.
  ASSERT_EQ(CSerialPort::OpenPort(u"fast", false), RC_OK);
  EXPECT_EQ(ports.liveDevices, 1);
  EXPECT_EQ(ports.Line(u"COM1:").dcb.BaudRate, 0u);
}

TEST_F(SerialPortTest, ConfigurationThatFailsIsReportedAndLeavesTheHandleOpen) {
  ports.Line(u"COM1:").failSetState = true;
  EXPECT_EQ(CSerialPort::OpenPort(u"9600", false), RC_OPEN_FAILED);
  EXPECT_EQ(host.log, (Texts{"Unable to configure the serial port"}));
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(CSerialPort::IsOpen());
  EXPECT_EQ(CSerialPort::OpenPort(u"9600", true), RC_OPEN_FAILED);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, u"Unable to configure the serial port");
  EXPECT_EQ(host.boxes[0].caption, u"Error");
}

TEST_F(SerialPortTest, ReadStrEndsAfterOneQuietTimeoutOrWhenTheBufferIsFull) {
  FakeLine& line = Open();
  char buf[8];
  uint64_t start = NowMs();
  EXPECT_EQ(CSerialPort::ReadStr(buf, sizeof buf), RC_OK);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(NowMs() - start, 100u);

  line.Arrive("abc", 0, 1000);
  EXPECT_EQ(CSerialPort::ReadStr(buf, sizeof buf), RC_OK);
  EXPECT_STREQ(buf, "abc");
  EXPECT_TRUE(host.log.empty());

  line.Arrive("1234567");  // exactly size - 1
  EXPECT_EQ(CSerialPort::ReadStr(buf, sizeof buf), RC_BUFFER_FULL);
  EXPECT_STREQ(buf, "1234567");
  EXPECT_EQ(host.log, (Texts{"ERROR: ReadStr RC_BUFFER_FULL."}));

  line.Arrive("123456789");  // the byte that finds the buffer full is dropped
  EXPECT_EQ(CSerialPort::ReadStr(buf, sizeof buf), RC_BUFFER_FULL);
  EXPECT_EQ(line.input.size(), 1u);
}

TEST_F(SerialPortTest, ReadTerminatedStrLogsWhatItReadEitherWay) {
  FakeLine& line = Open();
  char buf[200];
  line.Arrive("abc>rest");
  EXPECT_EQ(CSerialPort::ReadTerminatedStr(buf, sizeof buf, '>'), RC_OK);
  EXPECT_STREQ(buf, "abc");
  line.input.clear();
  line.Arrive("abc");
  EXPECT_EQ(CSerialPort::ReadTerminatedStr(buf, sizeof buf, '>'), RC_UNDEFINED);
  EXPECT_STREQ(buf, "abc");
  line.Arrive("a\r\nb>");
  EXPECT_EQ(CSerialPort::ReadTerminatedStr(buf, sizeof buf, '>'), RC_OK);
  EXPECT_EQ(host.log,
            (Texts{"ReadTerminatedStr: abc Len= 3", "ERROR: ReadTerminatedStr: abc Len= 3",
                   "ReadTerminatedStr: a\r\nb Len= 4"}));
}

TEST_F(SerialPortTest, TerminatorArrivingWhenTheBufferIsFullIsAFailure) {
  FakeLine& line = Open();
  char buf[4];
  line.Arrive("abc>");
  EXPECT_EQ(CSerialPort::ReadTerminatedStr(buf, sizeof buf, '>'), RC_UNDEFINED);
  EXPECT_STREQ(buf, "abc");
  line.input.clear();
  line.Arrive("ab>");
  EXPECT_EQ(CSerialPort::ReadTerminatedStr(buf, sizeof buf, '>'), RC_OK);
}

TEST_F(SerialPortTest, WritesReportShortAndFailedWrites) {
  FakeLine& line = Open();
  EXPECT_EQ(CSerialPort::WriteStr(""), RC_OK);
  EXPECT_EQ(line.written, "");
  EXPECT_EQ(CSerialPort::WriteStr("wn?"), RC_OK);
  EXPECT_EQ(line.written, "wn?");
  line.writeLimit = 2;
  EXPECT_EQ(CSerialPort::WriteStr("abc"), RC_NO_WRITE);
  line.failWrites = true;
  EXPECT_EQ(CSerialPort::WriteStr("abc"), RC_UNDEFINED);
  EXPECT_FALSE(CSerialPort::PortWrite('\n'));
  EXPECT_EQ(host.log, (Texts{"ERROR: WriteStr RC_NO_WRITE.", "ERROR: WriteStr RC_UNDEFINED.",
                             "ERROR 5: PortWrite failed."}));
}

TEST_F(SerialPortTest, FailedReadIsLoggedOnceAndEndsStringReads) {
  FakeLine& line = Open();
  line.failReads = true;
  char c, buf[8];
  EXPECT_EQ(CSerialPort::ReadChar(&c), RC_UNDEFINED);
  EXPECT_EQ(CSerialPort::ReadStr(buf, sizeof buf), RC_OK);  // not passed on
  EXPECT_EQ(host.log, (Texts{"ERROR: ReadChar RC_UNDEFINED.", "ERROR: ReadChar RC_UNDEFINED."}));
}

TEST_F(SerialPortTest, StatusWaitAndRateChange) {
  FakeLine& line = Open(u"115200");
  line.Arrive("xy", 30);
  EXPECT_EQ(CSerialPort::QueryStatus().inQueue, 0u);
  uint64_t start = NowMs();
  CSerialPort::WaitForInput();  // bytes coming: ends when the first arrives
  EXPECT_EQ(NowMs() - start, 30u);
  EXPECT_EQ(CSerialPort::QueryStatus().inQueue, 2u);
  CSerialPort::WaitForInput();  // bytes already waiting end the wait at once
  EXPECT_EQ(NowMs() - start, 30u);
  line.input.clear();
  start = NowMs();
  CSerialPort::WaitForInput();  // a radio that never answers: the wait has its bound
  EXPECT_EQ(NowMs() - start, CSerialPort::kWaitForInputBoundMs);

  line.lineErrors = platform::CE_FRAME;
  EXPECT_EQ(CSerialPort::QueryStatus().errors, uint32_t{platform::CE_FRAME});
  EXPECT_EQ(CSerialPort::QueryStatus().errors, 0u);

  EXPECT_TRUE(CSerialPort::SetBaudrate(u"19200"));
  EXPECT_EQ(line.dcb.BaudRate, 19200u);
  EXPECT_EQ(line.timeouts.ReadTotalTimeoutConstant, 100u);
  line.failSetState = true;
  EXPECT_FALSE(CSerialPort::SetBaudrate(u"4800"));
  EXPECT_TRUE(host.log.empty());
}

}  // namespace
