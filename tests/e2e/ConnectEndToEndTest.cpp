// The whole tool in real time: the Qt backend (offscreen), the termios layer and the radio
// stand-in on a pseudo-terminal. The user's clicks go to the real widgets.
#include "EndToEnd.h"

namespace {

using namespace e2e;
using ConnectEndToEnd = EndToEnd;

TEST_F(ConnectEndToEnd, ExternalRadioFoundAfterWrongRatesThenDisconnected) {
  SimProcess radio(Link("com1"), {"--model", "2410", "--firmware", "5.4", "--baud", "19200",
                                  "--preset", "shrike", "--external"});
  ASSERT_TRUE(radio.Running());
  ReplugWhenAsked plug(radio);
  setenv("QELM_COM1", Link("com1").c_str(), 1);
  CConfigDlg dlg;
  std::vector<QString> waitTitles;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (QDialog* w = Window("Waiting for radio at")) {
      if (waitTitles.empty() || waitTitles.back() != w->windowTitle()) {
        waitTitles.push_back(w->windowTitle());
        w->grab().save(QString::fromStdString(OutDir() + "/qelm-waiting-dialog.png"));
      }
    }
  });
  watch.start(50);
  RunDialog(dlg, [&](QDialog* main) {
    Combo(main, 0)->setCurrentText("COM1");
    Combo(main, 1)->setCurrentText("9600");
    auto start = std::chrono::steady_clock::now();
    Button(main, "Co&nnect")->click();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("connect from 9600 to a radio at 19200: %.2f s\n", seconds);
    main->grab().save(QString::fromStdString(OutDir() + "/qelm-connected.png"));
    EXPECT_NE(Button(main, "Disco&nnect"), nullptr);
    EXPECT_EQ(Combo(main, 1)->currentText(), "19200");
    EXPECT_EQ(Combo(main, 2)->currentText(), "Vireo B & Shrike");
    EXPECT_FALSE(Combo(main, 0)->isEnabled());
    Button(main, "Disco&nnect")->click();
    EXPECT_NE(Button(main, "Co&nnect"), nullptr);
    EXPECT_TRUE(Combo(main, 0)->isEnabled());
  });
  watch.stop();
  EXPECT_EQ(waitTitles, (std::vector<QString>{"Waiting for radio at 9600 bps...",
                                              "Waiting for radio at 14400 bps...",
                                              "Waiting for radio at 19200 bps..."}));
  EXPECT_EQ(plug.asked, waitTitles);
  EXPECT_FALSE(CSerialPort::IsOpen());
}

TEST_F(ConnectEndToEnd, CancelInTheWaitingDialogWorksWhileItPolls) {
  // Nobody reconnects this radio's cable: only the Cancel button ends the wait.
  SimProcess radio(Link("com2"), {"--model", "2410", "--baud", "115200", "--external"});
  ASSERT_TRUE(radio.Running());
  setenv("QELM_COM2", Link("com2").c_str(), 1);
  CConfigDlg dlg;
  double waited = 0;
  RunDialog(dlg, [&](QDialog* main) {
    Combo(main, 0)->setCurrentText("COM2");
    QTimer::singleShot(700, [] {
      if (QDialog* w = Window("Waiting for radio at 115200 bps...")) Button(w, "&Cancel")->click();
    });
    auto start = std::chrono::steady_clock::now();
    Button(main, "Co&nnect")->click();
    waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(Button(main, "Co&nnect"), nullptr);
  });
  EXPECT_GT(waited, 0.6);
  EXPECT_LT(waited, 2.0);  // the click ended the wait within a poll or two
  EXPECT_FALSE(dlg.m_settings.connected);
  EXPECT_FALSE(CSerialPort::IsOpen());
}

TEST_F(ConnectEndToEnd, EnterConnectsAndCannotEndOrDoubleTheWait) {
  SimProcess radio(Link("com1"), {"--model", "2410", "--baud", "115200", "--preset", "shrike",
                                  "--external", "--reconnect-after-open", "1200"});
  ASSERT_TRUE(radio.Running());
  setenv("QELM_COM1", Link("com1").c_str(), 1);
  CConfigDlg dlg;
  bool waitSeenAfterEnter = false, waitEndedEarly = false;
  RunDialog(dlg, [&](QDialog* main) {
    Combo(main, 0)->setCurrentText("COM1");
    Combo(main, 1)->setCurrentText("115200");
    // At start the focus is on the first control of the tab order.
    ASSERT_EQ(QApplication::focusWidget(), Button(main, "Co&nnect"));
    QTimer::singleShot(500, [&] {
      QDialog* wait = Window("Waiting for radio at 115200 bps...");
      ASSERT_NE(wait, nullptr);
      // Enter with no button focused is the OK command; the wait must go on, visibly.
      if (QWidget* f = wait->focusWidget()) f->clearFocus();
      QTest::keyClick(wait, Qt::Key_Return);
      // A click that reaches the main window meanwhile must not start a second connect.
      Button(main, "Co&nnect")->click();
      QTest::keyClick(main, Qt::Key_Return);
      QTimer::singleShot(200, [&] {
        waitSeenAfterEnter = Window("Waiting for radio at 115200 bps...") != nullptr;
      });
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    waitEndedEarly = !waitSeenAfterEnter;
    EXPECT_NE(Button(main, "Disco&nnect"), nullptr);
    EXPECT_EQ(Combo(main, 2)->currentText(), "Vireo B & Shrike");
  });
  EXPECT_TRUE(waitSeenAfterEnter);
  EXPECT_FALSE(waitEndedEarly);
  std::ifstream log(folder / "data" / "TUVAR_TOOL_Log.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  auto count = [&](const std::string& line) {
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("Button 'Connect' pressed."), 1u);
  EXPECT_EQ(count("Port COM1 opened at 115200"), 1u);
  EXPECT_EQ(count("Title bar button 'Ok' pressed."), 0u);
}

TEST_F(ConnectEndToEnd, InternalRadioConnectsByItself) {
  SimProcess radio(Link("com3"),
                   {"--model", "2410", "--baud", "115200", "--preset", "vireo-us", "--internal"});
  ASSERT_TRUE(radio.Running());
  setenv("QELM_COM3", Link("com3").c_str(), 1);
  CConfigDlg dlg;
  RunDialog(dlg, [&](QDialog* main) {
    Combo(main, 0)->setCurrentText("COM3");
    Combo(main, 1)->setCurrentText("115200");
    Button(main, "Co&nnect")->click();
    EXPECT_NE(Button(main, "Disco&nnect"), nullptr);
    EXPECT_EQ(Combo(main, 2)->currentText(), "Vireo B & Tanager");
    EXPECT_EQ(Combo(main, 4)->currentText(), "Remote");
    EXPECT_TRUE(dlg.m_settings.internalRadio);
  });
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication qt(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
