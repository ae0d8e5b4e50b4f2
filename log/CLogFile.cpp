#include "log/CLogFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/DataFolder.h"
#include "platform/ExclusiveFile.h"

namespace {

const char16_t kSeparator[] = u"-------------------------------------------------------------";

std::u16string Stamped(const platform::SYSTEMTIME& t, const std::u16string& text) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02u/%02u/%u %u:%02u:%02u: ", unsigned{t.wDay},
                unsigned{t.wMonth}, unsigned{t.wYear}, unsigned{t.wHour}, unsigned{t.wMinute},
                unsigned{t.wSecond});
  return platform::SingleByteToWide(stamp) + text + u"\r\n";
}

}  // namespace

CLogFile::CLogFile(std::u16string logPath, int32_t maxLines)
    : CLogFile(std::move(logPath), maxLines, Sharing{}) {}

CLogFile::CLogFile(std::u16string logPath, int32_t maxLines, Sharing sharing)
    : logPath_(std::move(logPath)),
      maxLines_(maxLines),
      sharing_(sharing),
      filePath_(platform::DataPath(platform::WideToUtf8(logPath_))) {
  if (!sharing_.ownsRun) return;
  platform::ExclusiveFile file;
  if (!OpenForAppend(file)) return;
  WriteEntry(file, u"", false);
  WriteEntry(file, kSeparator, false);
  WriteEntry(file, u"Application started", true);
}

CLogFile::~CLogFile() {
  if (!sharing_.ownsRun) return;
  LogLine(u"Application closed");
  TrimToLimit();
}

bool CLogFile::OpenForAppend(platform::ExclusiveFile& file) {
  const uint64_t giveUpAt = platform::NowMs() + sharing_.openWaitMs;
  for (;;) {
    errno = 0;
    if (file.OpenAlways(filePath_, platform::ExclusiveFile::WriteOnly)) break;
    // Only a file held by another process (or replaced by its trimming) is worth waiting
    // for; a missing folder or a read-only file stays so.
    const bool held = errno == 0 || errno == EWOULDBLOCK;
    if (!held || platform::NowMs() >= giveUpAt) return false;
    platform::Sleep(2);
  }
  if (!file.SeekToEnd()) {
    file.Close();
    return false;
  }
  return true;
}

void CLogFile::WriteEntry(platform::ExclusiveFile& file, const std::u16string& text, bool stamped) {
  if (!file.IsOpen()) return;
  std::u16string line =
      stamped ? Stamped(platform::CurrentClock().LocalTime(), text) : text + u"\r\n";
  std::string bytes = platform::WideToSingleByte(line);
  int64_t before = file.Position();
  if (!file.Write(bytes.data(), bytes.size())) {
    // Storage full or gone: take back what part of the line made it, so the log never holds
    // half a line, and give up on this file until the next line opens it again.
    if (before >= 0) file.Truncate(before);
    file.Close();
  }
}

void CLogFile::LogLine(std::u16string text) {
  platform::ExclusiveFile file;
  if (!OpenForAppend(file)) return;
  WriteEntry(file, text, true);
}

void CLogFile::TrimToLimit() {
  platform::ExclusiveFile file;
  if (!file.OpenAlways(filePath_, platform::ExclusiveFile::ReadWrite) || !file.SeekToStart())
    return;
  // Only the last maxLines lines are ever kept in memory, however long the log has grown.
  size_t keep = maxLines_ > 0 ? static_cast<size_t>(maxLines_) : 0;
  std::deque<std::string> kept;
  std::string line;
  int64_t lines = 0;
  char buf[64 * 1024];
  for (;;) {
    long got = file.Read(buf, sizeof buf);
    if (got < 0) return;  // an unreadable log is left as it is
    if (got == 0) break;
    const char* p = buf;
    const char* end = buf + got;
    while (p < end) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
      const char* stop = lf ? lf : end;
      // Carriage returns are dropped wherever they stand in a line.
      for (const char* q = p; q < stop;) {
        const char* cr = static_cast<const char*>(std::memchr(q, '\r', stop - q));
        const char* piece = cr ? cr : stop;
        line.append(q, piece);
        q = cr ? cr + 1 : stop;
      }
      if (!lf) break;
      ++lines;
      if (keep > 0) {
        if (kept.size() == keep) kept.pop_front();
        kept.push_back(std::move(line));
      }
      line.clear();
      p = lf + 1;
    }
  }
  if (lines < maxLines_) return;
  std::string out;
  for (const auto& l : kept) {
    out += l;
    out += "\r\n";
  }
  file.ReplaceWith(out);
}
