#pragma once
// The program's log: every user action and every noteworthy radio exchange, one time-stamped
// line each, in the single-byte text file "TUVAR_TOOL_Log.txt" (CR LF lines, day-first local
// time stamps). Each line is on storage when LogLine returns: the file is opened, appended to
// and closed again for every line, shared with nobody while open. At the regular end the log
// writes "Application closed" and is cut back to its last maxLines lines. The log is safe to
// read with cat or tail: no control byte other than a line break is ever written as it is
// (it becomes "\xHH"; see EscapedBytes.h for text from outside).
//
// Logging never fails towards its caller: a file that cannot be opened loses that line
// silently. A write that fails half-way (storage full) is undone, so no torn line is left,
// and the file is closed. Trimming never loses the log: the kept lines are written to a new
// file beside it which then replaces it atomically, so a program killed mid-trim leaves the
// old log or the new one, whole.

#include <cstdint>
#include <string>

namespace platform {
class ExclusiveFile;
}

class CLogFile {
 public:
  // How a program that shares the log with other processes uses it: it may wait up to
  // openWaitMs for the file while another process holds it, instead of losing the line; and
  // one of several processes writing one run's lines leaves the opening lines, the closing line
  // and the trimming to the process that owns the run. The default is the dialog's way.
  // A run that keeps its whole self (keepWholeRun) trims to its last maxLines lines or to all
  // of its own lines, whichever is more, so that a long run never loses its beginning.
  struct Sharing {
    uint32_t openWaitMs = 0;
    bool ownsRun = true;
    bool keepWholeRun = false;
  };
  CLogFile(std::u16string logPath, int32_t maxLines);
  CLogFile(std::u16string logPath, int32_t maxLines, Sharing sharing);
  ~CLogFile();
  CLogFile(const CLogFile&) = delete;
  CLogFile& operator=(const CLogFile&) = delete;

  void LogLine(std::u16string text);

  // The file actually written (the bare name placed in the program's data folder).
  const std::string& FilePath() const { return filePath_; }

  // Cuts the log to its last maxLines lines (also run by the destructor).
  void TrimToLimit();

 private:
  bool OpenForAppend(platform::ExclusiveFile& file);
  void WriteEntry(platform::ExclusiveFile& file, const std::u16string& text, bool stamped);
  // The lines of this run still in the file (0 when its opening lines are no longer where they
  // were written, as after another program trimmed the log).
  int64_t RunLines(platform::ExclusiveFile& file, int64_t size);

  std::u16string logPath_;
  int32_t maxLines_;
  Sharing sharing_;
  std::string filePath_;
  int64_t runStart_ = -1;  // where this run's opening lines begin
};
