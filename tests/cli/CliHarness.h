#pragma once
// Runs the real qelm-cli against qelm-radio-sim radios on pseudo-terminals, in real time. Each
// radio keeps what it heard (its --verbose report, read back as command lines) and is replugged
// by SIGUSR1 whenever the program tells the user to reconnect its cable, as a technician would.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/ProcessGroup.h"
#include "tests/Spawn.h"
#include "tests/WaitUntil.h"

namespace cli_test {

using Texts = std::vector<std::string>;

// A private folder for the log (QELM_DATA_DIR) and the radios' device links.
class Folder {
 public:
  Folder() {
    char tmpl[] = "/tmp/qelm-cli-test-XXXXXX";
    path_ = mkdtemp(tmpl);
    setenv("QELM_DATA_DIR", (path_ + "/data").c_str(), 1);
  }
  // QELM_TEST_KEEP=1 keeps the folder (logs, reports, the radios' states) for a look afterwards.
  ~Folder() {
    const char* keep = std::getenv("QELM_TEST_KEEP");
    if (keep && std::string(keep) == "1") return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }
  std::string LogPath() const { return path_ + "/data/TUVAR_TOOL_Log.txt"; }

 private:
  std::string path_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A stand-in's state file once it holds `text`, or as it is after boundMs. The program ends
// once its last lines ("m>", "z>") have left its side of the line; the stand-in may take them
// in, and store, a moment later on a busy machine.
inline std::string StateHolding(const std::string& path, const std::string& text,
                                int boundMs = 20000) {
  test_support::WaitUntil([&] { return ReadAll(path).find(text) != std::string::npos; }, boundMs);
  return ReadAll(path);
}

// The log's lines without their time stamps ("dd/mm/yyyy h:mm:ss: ").
inline Texts LogTexts(const std::string& path) {
  Texts out;
  std::istringstream in(ReadAll(path));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto stamp = line.find(": ");
    if (line.size() > 2 && line[2] == '/' && stamp != std::string::npos) line.erase(0, stamp + 2);
    out.push_back(line);
  }
  return out;
}

class SimRadio {
 public:
  SimRadio(const std::string& folder, const std::string& name, std::vector<std::string> options)
      : link_(folder + "/" + name), report_(folder + "/" + name + ".sim") {
    std::vector<std::string> args = {QELM_RADIO_SIM_PATH, "--verbose", "--path", link_};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = test_support::Spawn(args, "/dev/null", report_.c_str());
    struct stat st {};
    // A stand-in starting on a loaded machine (a sanitizer build beside other test runs) can
    // take seconds; a run against a missing link would fail for the wrong reason.
    for (int i = 0; i < 3000 && lstat(link_.c_str(), &st) != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~SimRadio() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  SimRadio(const SimRadio&) = delete;
  SimRadio& operator=(const SimRadio&) = delete;

  const std::string& Port() const { return link_; }
  void Replug() { kill(pid_, SIGUSR1); }
  // Every command line the radio heard, in order.
  Texts Lines() const {
    Texts out;
    std::istringstream in(ReadAll(report_));
    const std::string mark = "qelm-radio-sim: line: \"";
    for (std::string l; std::getline(in, l);)
      if (l.rfind(mark, 0) == 0) out.push_back(l.substr(mark.size(), l.size() - mark.size() - 1));
    return out;
  }
  bool WasOpened() const { return ReadAll(report_).find("port opened") != std::string::npos; }
  // Waits until the port is closed again (or was never opened): the stand-in has then heard
  // everything written to it, the last lines of a program that ended at once included.
  bool WaitPortClosed(int boundMs = 10000) const {
    return test_support::WaitUntil(
        [&] {
          const std::string report = ReadAll(report_);
          const size_t opened = report.rfind("port opened");
          const size_t closed = report.rfind("port closed");
          return opened == std::string::npos || (closed != std::string::npos && closed > opened);
        },
        boundMs);
  }

 private:
  std::string link_, report_;
  pid_t pid_ = -1;
};

struct CliRun {
  int status = -1;
  std::string out;
  Texts err;
};

// Runs qelm-cli with args; a radio named in `replug` (by its port) is replugged each time the
// program asks for it on standard error (also as "[port] ..." from a fleet).
// With program false, args is a whole command line of its own (a shell and its script).
inline CliRun RunCli(const Texts& args, const std::map<std::string, SimRadio*>& replug = {},
                     bool program = true) {
  Texts argv;
  if (program) argv.push_back(QELM_CLI_PATH);
  argv.insert(argv.end(), args.begin(), args.end());
  platform::ProcessGroup group;
  CliRun run;
  if (group.Start(argv) < 0) return run;
  platform::ProcessGroup::Event ev;
  while (group.Next(&ev)) {
    if (ev.kind == platform::ProcessGroup::Event::kOutLine) run.out += ev.line + "\n";
    if (ev.kind == platform::ProcessGroup::Event::kEnded) run.status = ev.status;
    if (ev.kind != platform::ProcessGroup::Event::kErrLine) continue;
    run.err.push_back(ev.line);
    if (ev.line.find("Please disconnect, then reconnect the cable") == std::string::npos) continue;
    std::string port;
    if (!ev.line.empty() && ev.line[0] == '[') port = ev.line.substr(1, ev.line.find(']') - 1);
    if (port.empty() && replug.size() == 1) port = replug.begin()->first;
    auto radio = replug.find(port);
    if (radio != replug.end()) radio->second->Replug();
  }
  // What the program wrote last may still be on its way into a radio on a busy machine.
  for (const auto& [port, radio] : replug) radio->WaitPortClosed();
  return run;
}

inline bool Has(const Texts& lines, const std::string& text) {
  for (const auto& l : lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

// What a read sends the radio: the wake-up, then the four registers it asks for.
inline const Texts kRead = {":wit2400", "wb?", "wn?", "dx?", "pe?"};

inline Texts Concat(std::initializer_list<Texts> parts) {
  Texts all;
  for (const Texts& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

}  // namespace cli_test
