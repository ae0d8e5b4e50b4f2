// Trimming reads the log from its end; what it leaves must be byte for byte what reading the
// whole file line by line gives: every line up to a line feed, carriage returns dropped
// wherever they stand, a last fragment without line feed dropped, the file left alone when it
// has fewer lines than the limit. Both are run over generated logs and compared.
#include <random>

#include "TestSupport.h"
#include "log/CLogFile.h"
#include "platform/system/CodePage.h"

using namespace testing_support;

namespace {

// The log's trimming as a plain reading of the whole file, line by line.
std::string ReferenceTrim(const std::string& file, size_t maxLines) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : file) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (lines.size() < maxLines) return file;
  std::string out;
  for (size_t i = lines.size() - maxLines; i < lines.size(); ++i) out += lines[i] + "\r\n";
  return out;
}

std::string Trimmed(const TempFolder& folder, const std::string& contents, int32_t maxLines) {
  WriteFile(folder.LogPath(), contents);
  // A log object that owns no run writes nothing of its own.
  CLogFile log(platform::Utf8ToWide(folder.LogPath()), maxLines, CLogFile::Sharing{0, false});
  log.TrimToLimit();
  return ReadFile(folder.LogPath());
}

// Lines of random length and bytes (any but LF), with stray CRs, empty lines and, sometimes,
// a last fragment without its line feed.
std::string GeneratedLog(std::mt19937& rng, size_t lines, bool fragment) {
  std::uniform_int_distribution<int> len(0, 90), byte(0, 255), coin(0, 9);
  std::string out;
  for (size_t i = 0; i < lines; ++i) {
    int n = coin(rng) == 0 ? 0 : len(rng);
    for (int k = 0; k < n; ++k) {
      char c = static_cast<char>(byte(rng));
      out += c == '\n' ? 'x' : c;
    }
    out += coin(rng) < 8 ? "\r\n" : "\n";
  }
  if (fragment) out += "half a line\r";
  return out;
}

TEST(LogTrim, FromTheEndMatchesReadingTheWholeFile) {
  TempFolder folder;
  std::mt19937 rng(20261208);
  for (size_t lines : {0u, 1u, 2u, 3u, 4u, 499u, 500u, 501u, 1200u, 5000u})
    for (bool fragment : {false, true})
      for (int32_t maxLines : {0, 1, 3, 500}) {
        std::string log = GeneratedLog(rng, lines, fragment);
        EXPECT_EQ(Trimmed(folder, log, maxLines), ReferenceTrim(log, maxLines))
            << lines << " lines, fragment " << fragment << ", limit " << maxLines;
      }
}

TEST(LogTrim, LongLinesAcrossTheReadBlocks) {
  TempFolder folder;
  std::mt19937 rng(7);
  // Lines far longer than one read block, and CR LF pairs split across block edges.
  std::string log;
  for (int i = 0; i < 12; ++i) log += std::string(70000 + i * 997, 'a' + i) + "\r\n";
  EXPECT_EQ(Trimmed(folder, log, 5), ReferenceTrim(log, 5));
  std::string crs;
  for (int i = 0; i < 200000; ++i) crs += i % 3 ? "\r" : "\r\n";
  EXPECT_EQ(Trimmed(folder, crs, 500), ReferenceTrim(crs, 500));
}

}  // namespace
