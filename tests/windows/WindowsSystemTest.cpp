// The system services on Windows, under wine: the preferences in the real registry (with the
// 255-character read buffer's rule), the log file's bytes (ISO-8859-1, CR LF, trimmed), its
// folder, exclusive files, the version resource read from the program's own file, the
// program's path and the local time's text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>

#include "log/CLogFile.h"
#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/DataFolder.h"
#include "platform/system/ExclusiveFile.h"
#include "platform/system/ModulePath.h"
#include "platform/system/Registry.h"
#include "platform/system/VersionResource.h"

namespace {

namespace fs = std::filesystem;

const char16_t kTestKey[] = u"Software\\Morva Fendral\\QELM Config Tests";

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A folder of its own for each test, which the data folder points into.
class Folder {
 public:
  Folder() {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("qelm-win-" + std::to_string(random()));
    fs::create_directories(path_);
    _putenv_s("QELM_DATA_DIR", path_.string().c_str());
  }
  ~Folder() {
    _putenv_s("QELM_DATA_DIR", "");
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

TEST(WindowsRegistry, AStringValueGoesInAndComesBack) {
  platform::RegistryKey key;
  ASSERT_EQ(key.Create(kTestKey), platform::ERROR_SUCCESS);
  const std::u16string port = u"COM2";
  ASSERT_EQ(key.SetValue(u"Port", platform::REG_SZ, port.c_str(),
                         static_cast<uint32_t>((port.size() + 1) * 2)),
            platform::ERROR_SUCCESS);
  key.Close();
  platform::RegistryKey read;
  ASSERT_EQ(read.Open(kTestKey, platform::KEY_QUERY_VALUE), platform::ERROR_SUCCESS);
  char16_t buf[256];
  uint32_t size = sizeof buf;
  ASSERT_EQ(read.QueryValue(u"Port", buf, &size), platform::ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(buf), u"COM2");
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(read.QueryValue(u"Nothing", buf, &size), platform::ERROR_FILE_NOT_FOUND);
}

TEST(WindowsRegistry, AValueLongerThanTheReadBufferFailsToRead) {
  platform::RegistryKey key;
  ASSERT_EQ(key.Create(kTestKey), platform::ERROR_SUCCESS);
  const std::u16string longText(300, u'x');
  ASSERT_EQ(key.SetValue(u"Baudrate", platform::REG_SZ, longText.c_str(),
                         static_cast<uint32_t>((longText.size() + 1) * 2)),
            platform::ERROR_SUCCESS);
  char16_t buf[256];
  uint32_t size = sizeof buf;
  EXPECT_EQ(key.QueryValue(u"Baudrate", buf, &size), platform::ERROR_MORE_DATA);
  EXPECT_EQ(size, 602u);
}

TEST(WindowsRegistry, AMissingKeyIsNotFound) {
  platform::RegistryKey key;
  EXPECT_EQ(key.Open(u"Software\\Morva Fendral\\No Such Key", platform::KEY_QUERY_VALUE),
            platform::ERROR_FILE_NOT_FOUND);
}

TEST(WindowsLogFile, LinesAreIso88591WithCrLfAndTrimmedToTheirLimit) {
  Folder folder;
  {
    CLogFile log(u"TUVAR_TOOL_Log.txt", 5);
    EXPECT_EQ(fs::path(log.FilePath()).parent_path(), folder.Path());
    log.LogLine(u"Caf\u00e9 \u20ac");
    for (int i = 0; i < 10; ++i) log.LogLine(u"line " + platform::Utf8ToWide(std::to_string(i)));
  }
  const std::string bytes = ReadAll(folder.Path() / "TUVAR_TOOL_Log.txt");
  // The last five lines stay, the closing line among them; every line ends in CR LF.
  EXPECT_EQ(bytes.find("Caf"), std::string::npos);
  size_t lines = 0;
  for (size_t at = 0; (at = bytes.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  EXPECT_EQ(lines, 5u);
  EXPECT_EQ(bytes.find('\n', 0), bytes.find("\r\n") + 1);
  EXPECT_NE(bytes.find("line 9\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("Application closed\r\n"), std::string::npos);
  // A single-byte code page: é is one byte, a character it lacks becomes "?".
  {
    CLogFile log(u"TUVAR_TOOL_Log.txt", 500);
    log.LogLine(u"Caf\u00e9 \u20ac");
  }
  EXPECT_NE(ReadAll(folder.Path() / "TUVAR_TOOL_Log.txt").find("Caf\xE9 ?\r\n"), std::string::npos);
}

TEST(WindowsLogFile, TheDataFolderIsTheUsersLocalApplicationData) {
  _putenv_s("QELM_DATA_DIR", "");
  const std::string folder = platform::DataFolder();
  EXPECT_TRUE(fs::is_directory(folder)) << folder;
  const std::string tail = "\\Morva Fendral\\QELM Config Tool";
  ASSERT_GT(folder.size(), tail.size());
  EXPECT_EQ(folder.substr(folder.size() - tail.size()), tail);
  EXPECT_NE(folder.find("AppData\\Local"), std::string::npos) << folder;
  EXPECT_EQ(platform::DataPath("x.txt"), folder + "\\x.txt");
}

TEST(WindowsFiles, AnOpenFileIsSharedWithNobodyUntilClosed) {
  Folder folder;
  const std::string path = (folder.Path() / "held.txt").string();
  platform::ExclusiveFile first, second;
  ASSERT_TRUE(first.OpenAlways(path, platform::ExclusiveFile::ReadWrite));
  EXPECT_FALSE(second.OpenAlways(path, platform::ExclusiveFile::ReadWrite));
  ASSERT_TRUE(first.Write("abc", 3));
  EXPECT_EQ(first.Size(), 3);
  ASSERT_TRUE(first.ReplaceWith("whole"));
  EXPECT_FALSE(second.OpenAlways(path, platform::ExclusiveFile::ReadWrite));
  first.Close();
  ASSERT_TRUE(second.OpenAlways(path, platform::ExclusiveFile::ReadWrite));
  char buf[8] = {};
  ASSERT_TRUE(second.SeekToStart());
  EXPECT_EQ(second.Read(buf, sizeof buf), 5);
  EXPECT_EQ(std::string(buf, 5), "whole");
  EXPECT_FALSE(fs::exists(path + ".new"));
  // A folder in the file's place is no file.
  fs::create_directory(folder.Path() / "dir.txt");
  platform::ExclusiveFile dir;
  EXPECT_FALSE(
      dir.OpenAlways((folder.Path() / "dir.txt").string(), platform::ExclusiveFile::ReadWrite));
}

TEST(WindowsProgram, TheVersionResourceIsReadFromTheProgramsOwnFile) {
  const std::u16string self = platform::ModuleFileName();
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(fs::path(self).filename(), "qelm_windows_tests.exe");
  EXPECT_EQ(platform::ModuleFolder(), fs::path(self).parent_path().u16string());
  const uint32_t size = platform::GetFileVersionInfoSize(self);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(platform::GetFileVersionInfo(self, size, block.data()));
  std::u16string value;
  ASSERT_TRUE(
      platform::VerQueryValue(block.data(), u"\\StringFileInfo\\040904b0\\FileVersion", &value));
  EXPECT_EQ(value, u"1, 0, 0, 0");
  ASSERT_TRUE(
      platform::VerQueryValue(block.data(), u"\\StringFileInfo\\040904b0\\SpecialBuild", &value));
  EXPECT_TRUE(std::regex_match(platform::WideToUtf8(value), std::regex("[0-9]+")));
  ASSERT_TRUE(platform::VerQueryValue(block.data(), u"\\", &value));
  EXPECT_EQ(value, u"1.0.0.0");
  ASSERT_TRUE(platform::VerQueryValue(block.data(), u"\\VarFileInfo\\Translation", &value));
  EXPECT_EQ(value, u"040904b0");
  EXPECT_FALSE(
      platform::VerQueryValue(block.data(), u"\\StringFileInfo\\040904b0\\Nothing", &value));
  EXPECT_EQ(platform::GetFileVersionInfoSize(u"C:\\no\\such\\file.exe"), 0u);
}

TEST(WindowsProgram, LocalTimeIsWrittenWithItsOffset) {
  const std::string text = platform::IsoLocalTime(std::time(nullptr));
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
      << text;
}

}  // namespace
