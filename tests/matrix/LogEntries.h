#pragma once
// The log read back one entry per LogLine call: a stamped line and whatever follows it up to
// the next stamp (text from the radio may carry its own line breaks into an entry). Entries
// of the byte-level reads and writes (each successful reply, each read or write error) are
// left out on request, so that a test can compare what the sequences themselves logged.

#include <regex>
#include <string>
#include <vector>

namespace matrix {

inline std::vector<std::string> LogEntries(const std::string& bytes) {
  static const std::regex stamp(R"(^\d{2}/\d{2}/\d+ \d{1,2}:\d{2}:\d{2}: )");
  std::vector<std::string> entries;
  size_t start = 0;
  bool inEntry = false;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    std::string piece = bytes.substr(start, end == std::string::npos ? end : end - start);
    start = end == std::string::npos ? bytes.size() : end + 2;
    std::smatch m;
    if (std::regex_search(piece, m, stamp)) {
      entries.push_back(piece.substr(m.length()));
      inEntry = true;
    } else if (inEntry) {
      entries.back() += "\r\n" + piece;
    }
  }
  return entries;
}

inline bool IsByteLevel(const std::string& entry) {
  static const char* const prefixes[] = {
      "ReadTerminatedStr: ", "ERROR: ReadTerminatedStr: ", "ERROR: ReadChar ",
      "ERROR: ReadStr ",     "ERROR: WriteStr ",           "ERROR: FilterBuffer "};
  for (const char* p : prefixes)
    if (entry.rfind(p, 0) == 0) return true;
  static const std::regex portWrite(R"(^ERROR \d+: PortWrite failed\.$)");
  return std::regex_match(entry, portWrite);
}

}  // namespace matrix
