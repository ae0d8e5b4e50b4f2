// Trimming a large log to its last 500 lines: wall time and peak memory for logs of 1 MB,
// 10 MB, 100 MB and 1 GB. The trim reads the log from its end, so its cost should not grow
// with the log's size. Each size runs in a child process of its own, so that the peak resident
// size reported is that trim's alone (the child's baseline is printed as well).
//
//   build/bench/log_trim_bench [folder]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "log/CLogFile.h"
#include "platform/system/CodePage.h"

namespace {

long PeakKiB() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

void MakeLog(const std::string& path, size_t bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string line;
  size_t written = 0;
  for (long i = 0; written < bytes; ++i) {
    line = "07/12/2026 9:05:03: ReadTerminatedStr: wn?\r\n0C\r\n Len= 9 #" + std::to_string(i) +
           "\r\n";
    out << line;
    written += line.size();
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : "/tmp/qelm-trim-bench";
  std::filesystem::create_directories(folder);
  std::printf("%-8s %12s %14s %14s %10s\n", "size", "trim ms", "peak RSS KiB", "base RSS KiB",
              "lines left");
  for (size_t mb : {1, 10, 100, 1000}) {
    std::string path = folder + "/TUVAR_TOOL_Log.txt";
    MakeLog(path, mb * 1000 * 1000);
    // A log that grew over many runs is on storage, not in dirty pages waiting to be written.
    ::sync();
    int pipefd[2];
    if (pipe(pipefd) != 0) return 1;
    pid_t child = fork();
    if (child == 0) {
      close(pipefd[0]);
      long base = PeakKiB();
      CLogFile log(platform::Utf8ToWide(path), 500);
      auto t0 = std::chrono::steady_clock::now();
      log.TrimToLimit();
      auto t1 = std::chrono::steady_clock::now();
      double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
      char msg[128];
      int n = std::snprintf(msg, sizeof msg, "%f %ld %ld", ms, PeakKiB(), base);
      if (write(pipefd[1], msg, n) != n) _exit(1);
      _exit(0);
    }
    close(pipefd[1]);
    char buf[128] = {};
    if (read(pipefd[0], buf, sizeof buf - 1) < 0) return 1;
    close(pipefd[0]);
    waitpid(child, nullptr, 0);
    double ms = 0;
    long peak = 0, base = 0;
    std::sscanf(buf, "%lf %ld %ld", &ms, &peak, &base);
    std::ifstream in(path, std::ios::binary);
    long lines = 0;
    for (std::string l; std::getline(in, l);) ++lines;
    std::printf("%-8s %12.1f %14ld %14ld %10ld\n", (std::to_string(mb) + " MB").c_str(), ms, peak,
                base, lines);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
