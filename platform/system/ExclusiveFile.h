#pragma once
// Files as the log uses them: opened always (created when missing, never truncated), held
// exclusively while open (another open of the same file in that time fails, in this program or
// another one that opens it through this class), with seek, truncate, read, write and close.
// A file can also be replaced whole: ReplaceWith writes a new file beside it and renames it
// over the old one, so that a crash leaves either the old or the new contents, never a mixture.
//
// Only plain files are opened: a symbolic link, directory, FIFO or device in the file's place
// makes the open fail (without blocking), as does a file without write permission.
//
// On Windows the hold is the system's share mode 0, and ReplaceWith lets the file go for the
// moment of its rename (a held file cannot be renamed over there).
//
// Every operation reports failure by its result (false, or -1) and never throws; a failed
// open leaves the object closed. Closing releases the exclusive hold.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class ExclusiveFile {
 public:
  enum Access { WriteOnly = 1, ReadWrite = 3 };

  ExclusiveFile() = default;
  ~ExclusiveFile() { Close(); }
  ExclusiveFile(const ExclusiveFile&) = delete;
  ExclusiveFile& operator=(const ExclusiveFile&) = delete;

  // Opens (creating when missing) with the given access, shared with nobody.
  bool OpenAlways(const std::string& path, Access access);
  bool IsOpen() const { return fd_ >= 0; }
  bool SeekToEnd();
  bool SeekToStart();
  bool SeekTo(int64_t position);
  int64_t Position() const;
  int64_t Size() const;  // -1 on failure
  // Cuts the file at the given length.
  bool Truncate(int64_t length);
  // Reads up to n bytes at the current position: the count read, 0 at the end, -1 on failure.
  long Read(void* buf, size_t n);
  // Writes all n bytes at the current position; false when not all could be written.
  bool Write(const void* buf, size_t n);
  // Makes the written bytes durable.
  bool Sync();
  void Close();

  // Replaces the contents of the open file by the given bytes, atomically: a new file is
  // written beside it ("<path>.new"), made durable and renamed over the old one; this object
  // then holds the new file. On failure the old file is left as it was.
  bool ReplaceWith(const std::string& bytes);

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace platform
