#pragma once
// What the end-to-end tests share: the tool's windows found by their titles, buttons by their
// texts, the main dialog run modally with a script once it is up, and a private folder for the
// log and the preferences per test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SimProcess.h"
#include "app/CConfigApp.h"
#include "platform/dialog/qt/QtBackend.h"
#include "resources/resource.h"
#include "serial/CSerialPort.h"
#include "ui/CConfigDlg.h"

namespace e2e {

// Where the pictures of the windows go: QELM_E2E_OUT, else the folder the test runs in (CTest
// runs it in the build folder), so that nothing is left behind in the shared /tmp.
inline std::string OutDir() {
  const char* dir = std::getenv("QELM_E2E_OUT");
  return dir && *dir ? dir : std::filesystem::current_path().string();
}

inline QDialog* Window(const QString& titleStart) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w);
        d && d->isVisible() && d->windowTitle().startsWith(titleStart))
      return d;
  return nullptr;
}

inline QPushButton* Button(QDialog* d, const QString& text) {
  for (auto* b : d->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// Picks an entry of a drop-down list as the user does, so the dialog hears of it.
inline void Pick(QComboBox* combo, const QString& text) {
  int i = combo->findText(text);
  ASSERT_GE(i, 0) << text.toStdString();
  combo->setCurrentIndex(i);
  emit combo->activated(i);
}

inline bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline QComboBox* Combo(QDialog* d, int index) {
  auto combos = d->findChildren<QComboBox*>();
  return index < combos.size() ? combos[index] : nullptr;
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() / ("qelm-e2e-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("QELM_DATA_DIR", (folder / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    platform::SetBackend(&backend);
  }
  void TearDown() override {
    platform::SetBackend(nullptr);
    std::filesystem::remove_all(folder);
  }
  std::string Link(const char* name) { return (folder / name).string(); }
  // An external model 2410 radio at 115200 on COM1; a ReplugWhenAsked replugs its cable.
  std::unique_ptr<SimProcess> ExternalRadioOnCom1(const char* preset) {
    auto radio = std::make_unique<SimProcess>(
        Link("com1"), std::vector<std::string>{"--model", "2410", "--baud", "115200", "--preset",
                                               preset, "--external"});
    setenv("QELM_COM1", Link("com1").c_str(), 1);
    return radio;
  }
  // Picks the port and rate in the main window and presses its Connect button.
  static void ConnectAt(QDialog* main, const QString& port, const QString& rate) {
    Combo(main, 0)->setCurrentText(port);
    Combo(main, 1)->setCurrentText(rate);
    Button(main, "Co&nnect")->click();
  }

  // Runs the main dialog modally; the script runs once the window is up.
  void RunDialog(CConfigDlg& dlg, std::function<void(QDialog*)> script) {
    QTimer::singleShot(300, [&] {
      QDialog* main = Window("TUVAR Config Tool");
      ASSERT_NE(main, nullptr);
      script(main);
      if (auto* close = Button(main, "&Close")) close->click();
    });
    dlg.DoModal();
  }

  std::filesystem::path folder;
  platform::QtBackend backend;
  CConfigApp app;
};

// Replugs a radio's cable each time the tool's waiting dialog asks for it (the dialog comes up,
// or shows another rate), as its user does: the port is open at the rate being tried by then,
// so the banner is neither emptied away by the opening nor heard at the rate before, however
// slow a loaded machine is. The window's thread is busy between two waits, so a dialog shown
// again is known by its new title as well as by having been away. A radio still not found
// after kMaxAsks asks (two walks through the rates) gets Cancel: the dialog's wait has no
// bound of its own, and the test fails then instead of waiting for ever.
class ReplugWhenAsked {
 public:
  static constexpr size_t kMaxAsks = 12;
  explicit ReplugWhenAsked(SimProcess& radio) : radio_(radio) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(20);
  }
  // The titles of the waiting dialog, in the order they asked.
  std::vector<QString> asked;

 private:
  void Poll() {
    QDialog* wait = Window("Waiting for radio at");
    if (wait && (!shown_ || wait->windowTitle() != title_)) {
      title_ = wait->windowTitle();
      asked.push_back(title_);
      if (asked.size() > kMaxAsks) {
        ADD_FAILURE() << "the radio was not found after " << kMaxAsks << " replugs";
        if (QPushButton* cancel = Button(wait, "&Cancel")) cancel->click();
      } else {
        radio_.Replug();
      }
    }
    shown_ = wait != nullptr;
  }
  SimProcess& radio_;
  QTimer timer_;
  bool shown_ = false;
  QString title_;
};

// Answers the tool's message boxes as they come: records caption, text and icon, saves a
// picture of each (qelm-box-<n>.png in OutDir) and presses the button given for its text (OK,
// or the first button, by default).
class BoxAnswerer {
 public:
  struct Seen {
    QString caption, text;
    QMessageBox::Icon icon;
  };
  explicit BoxAnswerer(std::map<QString, QMessageBox::StandardButton> answers = {})
      : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(50);
  }
  std::vector<Seen> seen;

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    seen.push_back({box->windowTitle(), box->text(), box->icon()});
    box->grab().save(
        QString::fromStdString(OutDir() + "/qelm-box-" + std::to_string(seen.size()) + ".png"));
    auto it = answers_.find(box->text());
    QAbstractButton* button = it != answers_.end() ? box->button(it->second) : nullptr;
    if (!button) button = box->button(QMessageBox::Ok);
    if (!button && !box->buttons().isEmpty()) button = box->buttons().first();
    if (button) button->click();
  }
  std::map<QString, QMessageBox::StandardButton> answers_;
  QTimer timer_;
};

// The log file's lines, without their time stamps.
inline std::vector<std::string> LogLines(const std::filesystem::path& folder) {
  std::ifstream in(folder / "data" / "TUVAR_TOOL_Log.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::string line = text.substr(start, end - start);
    auto stamp = line.find(": ");
    out.push_back(stamp == std::string::npos ? line : line.substr(stamp + 2));
  }
  return out;
}

}  // namespace e2e
