#include "log/CLogFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/system/Clock.h"
#include "platform/system/CodePage.h"
#include "platform/system/DataFolder.h"
#include "platform/system/ExclusiveFile.h"

namespace {

const char16_t kSeparator[] = u"-------------------------------------------------------------";

std::u16string Stamped(const platform::SYSTEMTIME& t, const std::u16string& text) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%02u/%02u/%u %u:%02u:%02u: ", unsigned{t.wDay},
                unsigned{t.wMonth}, unsigned{t.wYear}, unsigned{t.wHour}, unsigned{t.wMinute},
                unsigned{t.wSecond});
  return platform::SingleByteToWide(stamp) + text + u"\r\n";
}

// The last guard of a log that is safe to read: a control byte that reached a line (other
// than its line breaks) is written as "\xHH", whoever put it there. Text from outside was
// escaped where it came in (EscapedBytes.h, backslashes doubled); the program's own texts
// hold no control bytes, so this changes nothing else.
std::string WithoutControlBytes(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && b != '\r' && b != '\n') || (b >= 0x7F && b <= 0x9F)) {
      static const char hex[] = "0123456789ABCDEF";
      out += "\\x";
      out += hex[b >> 4];
      out += hex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
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
  runStart_ = file.Position();
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
  std::string bytes = WithoutControlBytes(platform::WideToSingleByte(line));
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

int64_t CLogFile::RunLines(platform::ExclusiveFile& file, int64_t size) {
  const std::string opening = "\r\n" + platform::WideToSingleByte(kSeparator) + "\r\n";
  if (runStart_ < 0 || runStart_ + static_cast<int64_t>(opening.size()) > size) return 0;
  if (!file.SeekTo(runStart_)) return 0;
  char buf[64 * 1024];
  int64_t feeds = 0;
  bool first = true;
  for (int64_t left = size - runStart_; left > 0;) {
    long n = file.Read(buf, static_cast<size_t>(std::min<int64_t>(left, sizeof buf)));
    if (n <= 0) return 0;
    if (first &&
        (n < static_cast<long>(opening.size()) || std::string(buf, opening.size()) != opening))
      return 0;
    first = false;
    feeds += std::count(buf, buf + n, '\n');
    left -= n;
  }
  return feeds;
}

void CLogFile::TrimToLimit() {
  platform::ExclusiveFile file;
  if (!file.OpenAlways(filePath_, platform::ExclusiveFile::ReadWrite)) return;
  const int64_t size = file.Size();
  if (size < 0) return;
  // Only the last maxLines lines matter, so the file is read from its end: the cost is that
  // of the lines kept, however long the log has grown. A line is what ends in a line feed; a
  // last fragment without one is dropped. Counting line feeds back from the end finds where
  // the kept lines start, or shows that there are fewer lines than the limit.
  int64_t keep = maxLines_ > 0 ? maxLines_ : 0;
  if (sharing_.keepWholeRun) keep = std::max(keep, RunLines(file, size));
  int64_t lastLf = -1;  // the line feed that ends the last line
  int64_t start = -1;   // where the kept lines begin
  int64_t feeds = 0;
  char buf[64 * 1024];
  for (int64_t end = size; end > 0 && start < 0;) {
    const int64_t from = end > static_cast<int64_t>(sizeof buf) ? end - sizeof buf : 0;
    if (!file.SeekTo(from)) return;
    const long want = static_cast<long>(end - from);
    for (long got = 0; got < want;) {
      long n = file.Read(buf + got, static_cast<size_t>(want - got));
      if (n <= 0) return;  // an unreadable log is left as it is
      got += n;
    }
    for (long i = want; i-- > 0;) {
      if (buf[i] != '\n') continue;
      if (lastLf < 0) lastLf = from + i;
      // The feed before the first kept line: the one after the last keep lines.
      if (++feeds == keep + 1) {
        start = from + i + 1;
        break;
      }
    }
    end = from;
  }
  if (start < 0) {
    if (feeds < keep) return;  // fewer lines than the limit: the file is not changed
    start = 0;                 // exactly the limit (or nothing to keep)
  }
  const int64_t stop = keep > 0 ? lastLf + 1 : start;
  std::string out;
  out.reserve(static_cast<size_t>(stop - start) + static_cast<size_t>(keep));
  if (!file.SeekTo(start)) return;
  for (int64_t left = stop - start; left > 0;) {
    long n = file.Read(buf, static_cast<size_t>(std::min<int64_t>(left, sizeof buf)));
    if (n <= 0) return;
    // Carriage returns are dropped wherever they stand in a line; every kept line ends in CR LF.
    for (const char *p = buf, *e = buf + n; p < e; ++p) {
      if (*p == '\r') continue;
      if (*p == '\n') out += '\r';
      out += *p;
    }
    left -= n;
  }
  file.ReplaceWith(out);
}
