// Preferences files nobody should have to meet: corrupt, huge, a directory, a FIFO, values of
// any length and characters, a configuration folder that is missing or cannot be made. The
// main dialog starts with the stored or the default port and rate, never hangs or crashes,
// and stores the preferences again at close wherever that can be done.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FakePorts.h"
#include "TestSupport.h"
#include "app/CConfigApp.h"
#include "platform/dialog/headless/HeadlessScope.h"
#include "platform/system/Registry.h"
#include "resources/resource.h"
#include "ui/CConfigDlg.h"

using namespace testing_support;

namespace {

constexpr int D = IDD_QELMCONFIG_DIALOG;
const char16_t kKey[] = u"Software\\Morva Fendral\\QELM Config Tool";

class HostilePreferences : public ::testing::Test {
 protected:
  // Starts the dialog, reads what it preselected, closes it.
  void StartAndClose(const std::u16string& changePortTo = u"") {
    platform::HeadlessScope scope;
    FakePorts ports;
    CConfigApp app;
    CConfigDlg dlg;
    ASSERT_TRUE(dlg.Create());
    port = scope.ui.Text(D, IDC_PORT);
    baud = scope.ui.Text(D, IDC_BAUDRATE);
    if (!changePortTo.empty()) {
      ASSERT_TRUE(scope.ui.SelectText(D, IDC_PORT, changePortTo));
    }
    ASSERT_TRUE(scope.ui.Click(D, IDC_CLOSE));
  }
  std::string Stored() { return ReadFile(folder.PreferencesPath()); }

  TempFolder folder;
  std::u16string port, baud;
};

TEST_F(HostilePreferences, CorruptFileGivesTheDefaultsAndIsReplacedAtClose) {
  std::string junk;
  for (int i = 0; i < 4000; ++i) junk += static_cast<char>((i * 7919) % 256);
  WriteFile(folder.PreferencesPath(), "[General\nPort=\"COM2\n\xff\xfe=\x01\n[[[\n" + junk);
  StartAndClose(u"COM3");
  EXPECT_EQ(baud, u"115200");
  // The next start finds what this one stored, and the unreadable file is kept aside.
  StartAndClose();
  EXPECT_EQ(port, u"COM3");
  EXPECT_EQ(baud, u"115200");
}

TEST_F(HostilePreferences, HugeFileIsNotReadAndIsSetAsideAtClose) {
  std::string huge = "[General]\nPort=COM2\nBaudrate=9600\n";
  huge += "Filler=" + std::string(8 << 20, 'x') + "\n";
  WriteFile(folder.PreferencesPath(), huge);
  StartAndClose(u"COM3");
  EXPECT_EQ(port, u"COM1");
  EXPECT_EQ(baud, u"115200");
  EXPECT_LT(Stored().size(), 1000u);
  EXPECT_TRUE(ReadFile(folder.PreferencesPath() + ".bad") == huge);  // nothing lost
  StartAndClose();
  EXPECT_EQ(port, u"COM3");
}

TEST_F(HostilePreferences, DirectoryInThePlaceOfTheFileGivesDefaultsAndStaysADirectory) {
  std::filesystem::create_directories(folder.PreferencesPath());
  WriteFile(folder.PreferencesPath() + "/inside", "kept");
  StartAndClose(u"COM2");
  EXPECT_EQ(port, u"COM1");
  EXPECT_TRUE(std::filesystem::is_directory(folder.PreferencesPath()));
  EXPECT_EQ(ReadFile(folder.PreferencesPath() + "/inside"), "kept");
}

TEST_F(HostilePreferences, FifoInThePlaceOfTheFileNeitherBlocksNorIsRead) {
  std::filesystem::create_directories(folder.Path() + "/config/Morva Fendral");
  ASSERT_EQ(mkfifo(folder.PreferencesPath().c_str(), 0644), 0);
  StartAndClose(u"COM2");
  EXPECT_EQ(port, u"COM1");
  EXPECT_EQ(baud, u"115200");
}

TEST_F(HostilePreferences, ValuesOfAnyLengthAndCharacterAreReadOrRefusedWhole) {
  struct Case {
    std::string stored;
    std::u16string port;  // what the Port combo preselects
  };
  const Case cases[] = {
      {"Port=" + std::string(300, 'C'), u"COM1"},  // too long for the buffer: the default
      {"Port=COM2\\0COM3", u"COM2"},               // the text ends at its zero
      {"Port=\\x1b[2J\\a\\t", u""},                // control characters: nothing listed
      {"Port=\"COM3\"", u"COM3"},
      {"Port=@ByteArray(COM2)", u"COM2"},
      {"Port=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x6)", u""},
  };
  for (const Case& c : cases) {
    WriteFile(folder.PreferencesPath(), "[General]\n" + c.stored + "\nBaudrate=9600\n");
    StartAndClose();
    EXPECT_EQ(port, c.port) << c.stored;
    EXPECT_EQ(baud, u"9600") << c.stored;
  }
}

TEST_F(HostilePreferences, MissingConfigurationFolderIsCreatedAtClose) {
  setenv("XDG_CONFIG_HOME", (folder.Path() + "/not/yet/there").c_str(), 1);
  StartAndClose(u"COM2");
  EXPECT_NE(ReadFile(platform::RegistryKey::FileForKey(kKey)).find("Port=COM2"), std::string::npos);
}

TEST_F(HostilePreferences, ConfigurationFolderThatCannotBeMadeLosesOnlyThePreferences) {
  WriteFile(folder.Path() + "/plain-file", "x");
  setenv("XDG_CONFIG_HOME", (folder.Path() + "/plain-file").c_str(), 1);
  StartAndClose(u"COM2");
  EXPECT_EQ(port, u"COM1");
  EXPECT_EQ(ReadFile(folder.Path() + "/plain-file"), "x");
  // The log was not disturbed by it.
  EXPECT_NE(ReadFile(folder.LogPath()).find("Button 'Close' pressed."), std::string::npos);
}

TEST(HostileRegistryValues, TextOfTheBasicPlaneReadsBackAsWritten) {
  TempFolder folder;
  std::u16string text;
  for (char16_t c = 1; c < 0xD800; c = static_cast<char16_t>(c * 3 + 1)) text += c;
  text += u"\u00e9\u20ac\ue000\ufffd";
  text = text.substr(0, 254);
  platform::RegistryKey key;
  ASSERT_EQ(key.Create(kKey), platform::ERROR_SUCCESS);
  ASSERT_EQ(key.SetValue(u"Port", platform::REG_SZ, text.c_str(),
                         static_cast<uint32_t>((text.size() + 1) * 2)),
            platform::ERROR_SUCCESS);
  key.Close();
  ASSERT_EQ(key.Open(kKey, platform::KEY_QUERY_VALUE), platform::ERROR_SUCCESS);
  char16_t buf[255];
  uint32_t size = sizeof buf;
  ASSERT_EQ(key.QueryValue(u"Port", buf, &size), platform::ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(buf), text);
}

TEST(HostileRegistryWrites, KilledWhileStoringLeavesTheOldOrTheNewFileWhole) {
  TempFolder folder;
  const std::u16string filler(2000, u'f');
  for (int round = 0; round < 20; ++round) {
    pid_t writer = fork();
    if (writer == 0) {
      for (int i = 0;; ++i) {
        platform::RegistryKey key;
        if (key.Create(kKey) != platform::ERROR_SUCCESS) _exit(1);
        const std::u16string port = i % 2 ? u"COM2" : u"COM3";
        key.SetValue(u"Port", platform::REG_SZ, port.c_str(), 10);
        key.SetValue(u"Filler", platform::REG_SZ, filler.c_str(),
                     static_cast<uint32_t>((filler.size() + 1) * 2));
      }
    }
    usleep(2000 + round * 1500);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    const std::string stored = ReadFile(folder.PreferencesPath());
    if (stored.empty()) continue;  // killed before the first file was complete
    EXPECT_TRUE(stored.find("Port=COM2\n") != std::string::npos ||
                stored.find("Port=COM3\n") != std::string::npos)
        << round;
    EXPECT_EQ(stored.back(), '\n') << round;
  }
}

}  // namespace
