// The layer rule, read from the sources: each folder of the program includes only the
// folders below it in the layer table, and the OS, Qt, gensio and the terminal library are
// reached only from their own folders of platform/ (the Windows API from its win32/ folders). An
// #include across the rule fails here, naming the file, the line and the rule it breaks; and
// the build itself shows each layer's sources only the folders the table allows them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = QELM_SOURCE_DIR;

// The project folders each layer may include besides its own.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"platform", {"resources"}},
    {"log", {"platform"}},
    {"serial", {"platform", "log"}},
    {"radio", {"platform", "log", "serial"}},
    {"ui", {"platform", "log", "serial", "radio", "resources"}},
    {"app", {"platform", "log", "serial", "radio", "ui", "resources"}},
    {"cli", {"platform", "log", "serial", "radio", "resources"}},
    {"sim", {"platform"}},
    {"resources", {}},
};

const std::set<std::string> kProjectFolders = {"platform",  "log",   "serial", "radio",
                                               "ui",        "app",   "cli",    "sim",
                                               "resources", "tests", "bench",  "fuzz"};

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// A system header that belongs to the OS rather than to the C or C++ library.
bool IsOsHeader(const std::string& h) {
  static const std::set<std::string> kOs = {"unistd.h", "fcntl.h",  "termios.h", "poll.h",
                                            "signal.h", "dirent.h", "pwd.h",     "dlfcn.h",
                                            "pty.h",    "grp.h",    "spawn.h",   "netdb.h"};
  return kOs.count(h) || StartsWith(h, "sys/") || StartsWith(h, "asm/") ||
         StartsWith(h, "linux/") || StartsWith(h, "arpa/") || StartsWith(h, "netinet/");
}

// A header of the Windows API, which only the win32/ folders of platform/ include.
bool IsWindowsHeader(const std::string& h) {
  static const std::set<std::string> kWindows = {
      "windows.h",  "winbase.h",  "winuser.h", "winreg.h",   "winver.h",       "shlobj.h",
      "shellapi.h", "commctrl.h", "objbase.h", "tlhelp32.h", "knownfolders.h", "io.h"};
  return kWindows.count(h) > 0;
}

bool IsQtHeader(const std::string& h) {
  return std::regex_match(h, std::regex(R"(Qt[A-Za-z]*(/.*)?|Q[A-Z][A-Za-z]*)"));
}

struct Include {
  fs::path file;  // relative to the root
  int line;
  std::string header;
  bool system;  // <...> rather than "..."
};

std::vector<Include> IncludesOf(const fs::path& relative) {
  static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<Include> found;
  std::ifstream in(kRoot / relative);
  std::string text;
  int n = 0;
  std::smatch m;
  while (std::getline(in, text)) {
    ++n;
    if (std::regex_search(text, m, kInclude)) found.push_back({relative, n, m[2], m[1] == "<"});
  }
  return found;
}

std::vector<Include> ProgramIncludes() {
  std::vector<Include> all;
  for (const auto& [layer, ignored] : kMayInclude) {
    const fs::path dir = kRoot / layer;
    if (!fs::exists(dir)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      const auto ext = entry.path().extension();
      if (ext != ".cpp" && ext != ".h") continue;
      auto found = IncludesOf(fs::relative(entry.path(), kRoot));
      all.insert(all.end(), found.begin(), found.end());
    }
  }
  return all;
}

std::string Where(const Include& inc) {
  return inc.file.string() + ":" + std::to_string(inc.line) + " includes " + inc.header;
}

// The first folder of a path relative to the root.
std::string Top(const fs::path& p) {
  return p.begin()->string();
}

TEST(LayerIncludesTest, EachLayerIncludesOnlyTheLayersBelowIt) {
  const auto includes = ProgramIncludes();
  ASSERT_GT(includes.size(), 300u) << "the sources were not found under " << kRoot;
  std::vector<std::string> breaches;
  for (const Include& inc : includes) {
    if (inc.system) continue;
    const auto slash = inc.header.find('/');
    if (slash == std::string::npos) continue;
    const std::string target = inc.header.substr(0, slash);
    if (!kProjectFolders.count(target)) continue;
    const std::string layer = Top(inc.file);
    if (target != layer && !kMayInclude.at(layer).count(target)) breaches.push_back(Where(inc));
  }
  EXPECT_TRUE(breaches.empty()) << ::testing::PrintToString(breaches);
}

// One header of a folder, the first in name order, to ask the compiler whether it is seen.
std::string SomeHeaderOf(const std::string& folder) {
  std::set<std::string> headers;
  for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder))
    if (entry.path().extension() == ".h")
      headers.insert(fs::relative(entry.path(), kRoot).generic_string());
  return headers.empty() ? std::string() : *headers.begin();
}

// The folders whose headers a layer's sources can include, asked of the compiler with the
// include folders the build gives that layer (written by the build into layer-includes.txt).
std::set<std::string> FoldersSeen(const std::string& includeFolders, const fs::path& scratch) {
  std::ostringstream probe;
  for (const auto& folder : kProjectFolders) {
    const std::string header = SomeHeaderOf(folder);
    if (header.empty()) continue;
    probe << "#if __has_include(\"" << header << "\")\nseen " << folder << "\n#endif\n";
  }
  const fs::path source = scratch / "probe.cpp";
  std::ofstream(source) << probe.str();
  std::string command = std::string(QELM_CXX) + " -E -P -x c++";
  std::istringstream dirs(includeFolders);
  for (std::string dir; std::getline(dirs, dir, '|');)
    if (!dir.empty()) command += " -I'" + dir + "'";
  command += " '" + source.string() + "' 2>&1";
  std::set<std::string> seen;
  FILE* out = popen(command.c_str(), "r");
  if (!out) return seen;
  char line[512];
  while (std::fgets(line, sizeof line, out)) {
    std::string text(line);
    if (text.rfind("seen ", 0) == 0) seen.insert(text.substr(5, text.find_first_of("\r\n") - 5));
  }
  pclose(out);
  return seen;
}

TEST(LayerIncludesTest, TheBuildShowsEachLayerOnlyItsOwnFolderAndThoseBelowIt) {
  std::ifstream in(QELM_LAYER_INCLUDES);
  ASSERT_TRUE(in) << "the build wrote no " << QELM_LAYER_INCLUDES;
  const fs::path scratch = fs::temp_directory_path() / ("qelm-layers-" + std::to_string(getpid()));
  fs::create_directories(scratch);
  std::set<std::string> layersChecked;
  std::vector<std::string> breaches;
  for (std::string line; std::getline(in, line);) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string layer = line.substr(0, eq);
    ASSERT_TRUE(kMayInclude.count(layer)) << "the build names a layer the table lacks: " << layer;
    const auto seen = FoldersSeen(line.substr(eq + 1), scratch);
    EXPECT_TRUE(seen.count(layer)) << layer << "/ does not see its own headers";
    for (const auto& folder : seen)
      if (folder != layer && !kMayInclude.at(layer).count(folder))
        breaches.push_back(layer + "/ can include " + folder + "/");
    layersChecked.insert(layer);
  }
  fs::remove_all(scratch);
  for (const auto& [layer, ignored] : kMayInclude)
    EXPECT_TRUE(layersChecked.count(layer)) << "the build does not keep " << layer << "/ apart";
  EXPECT_TRUE(breaches.empty()) << ::testing::PrintToString(breaches);
}

TEST(LayerIncludesTest, TheOsQtGensioAndCursesStayInTheirFoldersOfPlatform) {
  std::vector<std::string> breaches;
  for (const Include& inc : ProgramIncludes()) {
    if (!inc.system) continue;
    const std::string file = inc.file.generic_string();
    const std::string& h = inc.header;
    if (IsQtHeader(h)) {
      // The window backend, and QSettings behind the preferences store.
      if (!StartsWith(file, "platform/dialog/qt/") && file != "platform/system/Registry.cpp")
        breaches.push_back(Where(inc) + " (Qt)");
    } else if (StartsWith(h, "gensio/") || StartsWith(h, "openssl/")) {
      if (!StartsWith(file, "platform/devices/")) breaches.push_back(Where(inc) + " (network)");
    } else if (h == "curses.h" || h == "ncurses.h" || StartsWith(h, "ncursesw/")) {
      if (!StartsWith(file, "platform/dialog/text/")) breaches.push_back(Where(inc) + " (curses)");
    } else if (IsWindowsHeader(h)) {
      if (!StartsWith(file, "platform/") || file.find("/win32/") == std::string::npos)
        breaches.push_back(Where(inc) + " (Windows)");
    } else if (IsOsHeader(h)) {
      // The stand-in's program serves a pseudo-terminal of its own; it is not part of the
      // tool and talks to the OS directly. Everything of the tool goes through platform/.
      if (!StartsWith(file, "platform/") && !StartsWith(file, "sim/program/") &&
          file != "sim/main_radio_sim.cpp")
        breaches.push_back(Where(inc) + " (OS)");
    }
  }
  EXPECT_TRUE(breaches.empty()) << ::testing::PrintToString(breaches);
}

TEST(LayerIncludesTest, TheRadioSequencesDoNotKnowTheDialogClass) {
  std::vector<std::string> breaches;
  for (const Include& inc : ProgramIncludes()) {
    const std::string file = inc.file.generic_string();
    if (!StartsWith(file, "radio/") && !StartsWith(file, "serial/")) continue;
    if (inc.header.find("CConfigDlg") != std::string::npos ||
        StartsWith(inc.header, "platform/dialog/qt/") ||
        StartsWith(inc.header, "platform/dialog/text/"))
      breaches.push_back(Where(inc));
  }
  EXPECT_TRUE(breaches.empty()) << ::testing::PrintToString(breaches);
}

}  // namespace
