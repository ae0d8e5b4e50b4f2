#pragma once
// Shared helpers of the unit tests: a private folder per test for the log and the preferences
// (QELM_DATA_DIR and XDG_CONFIG_HOME point into it), file reading, and the log's lines.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

#ifdef _WIN32
// Removes the tool's registry key, so that each test starts without stored preferences
// (tests/windows/ToolPreferences.cpp); the preferences file of Linux lies in the test's folder.
void ForgetToolPreferences();
#endif

class TempFolder {
 public:
  TempFolder() {
#ifdef _WIN32
    // A fresh folder under the user's temporary folder (there is no mkdtemp).
    std::random_device random;
    std::error_code ec;
    do {
      path_ = (std::filesystem::temp_directory_path() /
               ("qelm-test-" + std::to_string(random()) + std::to_string(random())))
                  .generic_string();
    } while (!std::filesystem::create_directory(path_, ec));
    _putenv_s("QELM_DATA_DIR", (path_ + "/data").c_str());
    _putenv_s("XDG_CONFIG_HOME", (path_ + "/config").c_str());
    ForgetToolPreferences();
#else
    char tmpl[] = "/tmp/qelm-test-XXXXXX";
    path_ = mkdtemp(tmpl);
    setenv("QELM_DATA_DIR", (path_ + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
#endif
  }
  ~TempFolder() {
#ifdef _WIN32
    ForgetToolPreferences();
#endif
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const {
    return path_;
  }
  std::string LogPath() const {
    return path_ + "/data/TUVAR_TOOL_Log.txt";
  }
  std::string PreferencesPath() const {
    return path_ + "/config/Morva Fendral/QELM Config Tool.conf";
  }

 private:
  std::string path_;
};

// The help file beside the running program (the program's folder and the file's name).
inline std::string HelpFileBesideProgram(const std::string& programFolder) {
#ifdef _WIN32
  return programFolder + "\\QELM_Help.htm";
#else
  return programFolder + "/QELM_Help.htm";
#endif
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The file's lines split at CR LF; a last fragment without its line end is kept as it is.
inline std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      if (start < bytes.size()) out.push_back(bytes.substr(start));
      return out;
    }
    out.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
}

// The text after the time stamp of a stamped line ("07/12/2026 9:05:03: text" gives "text").
inline std::string Unstamped(const std::string& line) {
  auto p = line.find(": ");
  return p == std::string::npos ? line : line.substr(p + 2);
}

inline std::vector<std::string> UnstampedLines(const std::string& bytes) {
  std::vector<std::string> out;
  for (auto& l : Lines(bytes)) out.push_back(Unstamped(l));
  return out;
}

}  // namespace testing_support
