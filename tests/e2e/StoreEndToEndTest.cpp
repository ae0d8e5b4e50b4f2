// Save and the maker defaults in real time: the Qt backend (offscreen), the termios layer and
// qelm-radio-sim on a pseudo-terminal. What was stored is read back by connecting again.
#include <thread>

#include "EndToEnd.h"

namespace {

using namespace e2e;
using StoreEndToEnd = EndToEnd;

TEST_F(StoreEndToEnd, ChangedLinkAndRateAreStoredAndReadBack) {
  auto radio = ExternalRadioOnCom1("shrike");
  ASSERT_TRUE(radio->Running());
  ReplugWhenAsked plug(*radio);
  CConfigDlg dlg;
  BoxAnswerer boxes;
  RunDialog(dlg, [&](QDialog* main) {
    ConnectAt(main, "COM1", "115200");
    ASSERT_NE(Button(main, "Disco&nnect"), nullptr);
    Pick(Combo(main, 3), "7");
    Pick(Combo(main, 1), "19200");
    Button(main, "&Save")->click();
    EXPECT_NE(Button(main, "Co&nnect"), nullptr);
    EXPECT_EQ(Combo(main, 1)->currentText(), "19200");
    // Connecting again finds the radio at its new rate, with the new link.
    Button(main, "Co&nnect")->click();
    ASSERT_NE(Button(main, "Disco&nnect"), nullptr);
    EXPECT_EQ(Combo(main, 1)->currentText(), "19200");
    EXPECT_EQ(Combo(main, 3)->currentText(), "7");
    EXPECT_EQ(Combo(main, 2)->currentText(), "Vireo B & Shrike");
    main->grab().save(QString::fromStdString(OutDir() + "/qelm-after-save.png"));
  });
  ASSERT_GE(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.seen[0].text, "Settings saved.");
  EXPECT_EQ(boxes.seen[0].caption, "QELM Config");
  EXPECT_EQ(boxes.seen[0].icon, QMessageBox::NoIcon);
  auto log = LogLines(folder);
  EXPECT_TRUE(Has(log, "Baudrate set to 19200 with sd0B"));
  EXPECT_TRUE(Has(log, "Settings stored OK."));
  EXPECT_TRUE(Has(log, "Port COM1 opened at 19200"));
}

TEST_F(StoreEndToEnd, UsDefaultsThenAReconnectAt19200) {
  // The cable is replugged when the waiting dialog asks, never for the reset's own reopening of
  // the port.
  auto radio = ExternalRadioOnCom1("vireo-us");
  ASSERT_TRUE(radio->Running());
  ReplugWhenAsked plug(*radio);
  CConfigDlg dlg;
  BoxAnswerer boxes({{"Reset the radio modem to Morva defaults and lose all current settings?",
                      QMessageBox::Yes}});
  RunDialog(dlg, [&](QDialog* main) {
    ConnectAt(main, "COM1", "115200");
    ASSERT_NE(Button(main, "Disco&nnect"), nullptr);
    Button(main, "&Default")->click();
    EXPECT_NE(Button(main, "Co&nnect"), nullptr);
    EXPECT_EQ(Combo(main, 1)->currentText(), "19200");
    EXPECT_FALSE(Button(main, "&Default")->isEnabled());
    Button(main, "Co&nnect")->click();
    ASSERT_NE(Button(main, "Disco&nnect"), nullptr);
    EXPECT_EQ(Combo(main, 2)->currentText(), "Vireo B & Tanager");
    EXPECT_EQ(Combo(main, 3)->currentText(), "0");
  });
  ASSERT_GE(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.seen[0].caption, "QELM Config");
  EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Warning);
  // A completed reset ends with the beep, not a box.
  for (size_t i = 1; i < boxes.seen.size(); ++i) ADD_FAILURE() << boxes.seen[i].text.toStdString();
  auto log = LogLines(folder);
  EXPECT_TRUE(Has(log, "Morva US defaults saved."));
  EXPECT_TRUE(Has(log, "Baudrate set to 19200 with sd0B"));
}

TEST_F(StoreEndToEnd, RadioKilledInTheMiddleOfARateSwitchEndsInTheErrorAndDisconnected) {
  auto radio = ExternalRadioOnCom1("shrike");
  ASSERT_TRUE(radio->Running());
  ReplugWhenAsked plug(*radio);
  CConfigDlg dlg;
  BoxAnswerer boxes;
  double seconds = 0;
  RunDialog(dlg, [&](QDialog* main) {
    ConnectAt(main, "COM1", "115200");
    ASSERT_NE(Button(main, "Disco&nnect"), nullptr);
    Pick(Combo(main, 1), "19200");
    // Half a second into the save the rate switch is under way (its waits take 800 ms). The
    // save blocks the window's thread, so the power goes from another one.
    std::thread cut([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      radio->Kill();
    });
    auto start = std::chrono::steady_clock::now();
    Button(main, "&Save")->click();
    cut.join();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(Button(main, "Co&nnect"), nullptr);
    EXPECT_TRUE(Combo(main, 0)->isEnabled());
    EXPECT_FALSE(Button(main, "&Save")->isEnabled());
  });
  EXPECT_LT(seconds, 5.0);  // no hang: the gone line fails the steps that meet it
  ASSERT_GE(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.seen.back().text, "Error. Settings not saved.");
  EXPECT_EQ(boxes.seen.back().caption, "QELM Config");
  EXPECT_FALSE(dlg.m_settings.connected);
  EXPECT_FALSE(CSerialPort::IsOpen());
  auto log = LogLines(folder);
  EXPECT_TRUE(Has(log, "Baudrate set to 19200 with sd0B"));
  EXPECT_FALSE(Has(log, "Settings stored OK."));
  EXPECT_TRUE(Has(log, "ERROR: Could not set computer to new baudrate.") ||
              Has(log, "ERROR: Could not connect to radio at new baudrate 19200"));
}

}  // namespace
