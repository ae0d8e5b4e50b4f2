// qelm-config's --help and --version: which command lines ask for them (only the whole command
// line, so "/Service" keeps its meaning), the texts, and the real program answering them on
// standard output with status 0, without a display or a terminal and without touching its log.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "app/ProgramInfo.h"
#include "platform/system/ModulePath.h"

using app::InfoRequest;

namespace {

InfoRequest RequestOf(std::vector<const char*> args) {
  args.insert(args.begin(), "qelm-config");
  return app::InfoRequestOf(static_cast<int>(args.size()), args.data());
}

TEST(ProgramInfo, OnlyTheWholeCommandLineAsksForHelpOrVersion) {
  EXPECT_EQ(RequestOf({"--help"}), InfoRequest::kHelp);
  EXPECT_EQ(RequestOf({"--version"}), InfoRequest::kVersion);
  EXPECT_EQ(RequestOf({}), InfoRequest::kNone);
  EXPECT_EQ(RequestOf({"/Service"}), InfoRequest::kNone);
  EXPECT_EQ(RequestOf({"/service"}), InfoRequest::kNone);
  EXPECT_EQ(RequestOf({"--help", "x"}), InfoRequest::kNone);
  EXPECT_EQ(RequestOf({"/Service", "--version"}), InfoRequest::kNone);
  EXPECT_EQ(RequestOf({"--HELP"}), InfoRequest::kNone);
  EXPECT_EQ(RequestOf({"--help "}), InfoRequest::kNone);
}

TEST(ProgramInfo, VersionCarriesTheBuildNumberFromTheProgramsOwnResource) {
  // This test program carries the build's version resource; a missing file has none.
  const std::string own = app::InfoText(InfoRequest::kVersion, platform::ModuleFileName());
  EXPECT_TRUE(std::regex_match(own, std::regex("qelm-config 1\\.0\\.0 \\(build [0-9]+\\)\n")))
      << own;
  EXPECT_EQ(app::InfoText(InfoRequest::kVersion, u"/nonexistent/qelm-config"),
            "qelm-config 1.0.0\n");
}

TEST(ProgramInfo, HelpNamesTheOptionsAndTheHelpFileBesideTheProgram) {
  const std::string help = app::InfoText(InfoRequest::kHelp, u"/opt/qelm/lib/qelm-config");
  EXPECT_EQ(help.rfind("usage: qelm-config [/Service]\n", 0), 0u) << help;
  EXPECT_NE(help.find("/opt/qelm/lib/QELM_Help.htm"), std::string::npos) << help;
  for (const char* word : {"--version", "QELM_UI", "QELM_COM1", "QELM_DATA_DIR", "qelm-cli(1)"})
    EXPECT_NE(help.find(word), std::string::npos) << word;
  for (size_t start = 0, end; (end = help.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LE(end - start, 90u) << help.substr(start, end - start);
  EXPECT_EQ(app::InfoText(InfoRequest::kNone, u"/x/qelm-config"), "");
}

#ifdef QELM_CONFIG_PATH
struct ProgramRun {
  int status = -1;
  std::string out;
};

// The real program with no display and no terminal, its data folder a fresh one.
ProgramRun RunProgram(const std::string& args, const std::string& dataDir) {
  const std::string command =
      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u QELM_UI "
      "QELM_DATA_DIR='" +
      dataDir + "' '" QELM_CONFIG_PATH "' " + args + " </dev/null 2>/dev/null";
  ProgramRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(ProgramInfo, TheProgramAnswersOnStandardOutputWithoutADialogOrALog) {
  char folder[] = "/tmp/qelm-info-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::filesystem::path dir = folder;
  const std::filesystem::path log = dir / "TUVAR_TOOL_Log.txt";

  const ProgramRun version = RunProgram("--version", dir);
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(
      std::regex_match(version.out, std::regex("qelm-config 1\\.0\\.0 \\(build [0-9]+\\)\n")))
      << version.out;
  const ProgramRun help = RunProgram("--help", dir);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: qelm-config"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(log)) << "--help and --version write no log";

  // Anything else still starts the tool: here it has nothing to show its dialogs on, so it
  // ends with status 1 after its log's opening and closing lines.
  const ProgramRun service = RunProgram("/Service", dir);
  EXPECT_EQ(service.status, 1);
  EXPECT_EQ(service.out, "");
  EXPECT_TRUE(std::filesystem::exists(log));
  std::filesystem::remove_all(dir);
}
#endif

}  // namespace
