// The window program over a long network path: qelm-config (Qt, offscreen) reaches the radio
// stand-in through ser2net and a proxy that delays everything by 300 ms each way with 10 %
// jitter. It connects (the cable reconnected when the waiting dialog asks for it), saves a new
// link with a rate switch, and the stand-in holds what was saved.
#include <QLabel>

#include "../net/DelayProxy.h"
#include "../net/Ser2net.h"
#include "EndToEnd.h"

namespace {

using namespace e2e;
using LongPathEndToEnd = EndToEnd;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(LongPathEndToEnd, ConnectsAndSavesAcross300MsEachWay) {
  const std::string state = Link("radio.state");
  SimProcess radio(Link("com1"), {"--model", "2410", "--baud", "115200", "--preset", "shrike",
                                  "--external", "--state", state});
  ASSERT_TRUE(radio.Running());
  net_test::Ser2net server(folder.string(), "s1", {Link("com1")});
  net_test::DelayProxy proxy(server.Port(), 300, 30);
  setenv("QELM_COM1", proxy.Name().c_str(), 1);
  // The person at the radio: reconnects the cable each time the waiting dialog asks.
  QWidget* asking = nullptr;
  QTimer person;
  QObject::connect(&person, &QTimer::timeout, [&] {
    QWidget* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible())
        for (auto* label : w->findChildren<QLabel*>())
          if (label->text().startsWith("Please disconnect, then reconnect the cable")) shown = w;
    if (shown && shown != asking) radio.Replug();
    asking = shown;
  });
  person.start(100);
  CConfigDlg dlg;
  BoxAnswerer boxes;
  RunDialog(dlg, [&](QDialog* main) {
    ConnectAt(main, "COM1", "115200");
    ASSERT_NE(Button(main, "Disco&nnect"), nullptr);
    Pick(Combo(main, 3), "7");
    Pick(Combo(main, 1), "19200");
    Button(main, "&Save")->click();
    EXPECT_NE(Button(main, "Co&nnect"), nullptr);
  });
  unsetenv("QELM_COM1");
  ASSERT_GE(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.seen[0].text, "Settings saved.");
  auto log = LogLines(folder);
  EXPECT_TRUE(Has(log, "Baudrate set to 19200 with sd0B"));
  EXPECT_TRUE(Has(log, "Settings stored OK."));
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
    return l.rfind("Path round trip: ", 0) == 0;
  }));
  const std::string held = ReadFile(state);
  EXPECT_NE(held.find("baud=19200"), std::string::npos) << held;
  EXPECT_NE(held.find("wn=07"), std::string::npos) << held;
}

}  // namespace
