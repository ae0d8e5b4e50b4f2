// The log's trimming against its rule, on any file: the file is read byte by byte, a carriage
// return is dropped, a line feed ends a line, a last fragment without one is dropped; with
// fewer lines than the limit the file is left as it is, else it holds the last `limit` lines,
// each ended by CR LF. The first input byte gives the limit (0 to 15), the rest is the file.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "log/CLogFile.h"
#include "platform/system/CodePage.h"

namespace {

std::string ByTheRule(const std::string& file, size_t limit) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : file) {
    if (c == '\r') continue;
    if (c != '\n') {
      line += c;
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  if (lines.size() < limit) return file;
  std::string out;
  for (size_t i = lines.size() - limit; i < lines.size(); ++i) out += lines[i] + "\r\n";
  return out;
}

std::string Folder() {
  // Memory-backed when the machine has it, so the fuzzer runs at the speed of the code.
  std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  std::string folder = base + "/qelm-trim-fuzz-" + std::to_string(::getpid());
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = Folder() + "/TUVAR_TOOL_Log.txt";
  if (size < 1) return 0;
  const size_t limit = data[0] % 16;
  const std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << file;
  }
  {
    // A log that only trims: no opening or closing lines of its own.
    CLogFile log(platform::Utf8ToWide(path), static_cast<int32_t>(limit),
                 CLogFile::Sharing{0, false});
    log.TrimToLimit();
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream got;
  got << in.rdbuf();
  if (got.str() != ByTheRule(file, limit)) fuzz::Broken("the trimmed log follows the rule");
  return 0;
}
