#pragma once
// The radio's end of a pseudo-terminal, for qelm-radio-sim. The program's end (the slave,
// "/dev/pts/N") is opened and closed once at creation and never held again. Opens and closes
// of it are seen through inotify on its path, one event each, so that a close followed at once
// by an open (a program retrying at another rate) is not missed; where inotify is not to be
// had, polling the master stands in: a hang-up means nobody has the slave open. Line settings
// are shared by both ends, so the master reads the rate the program set. Raw mode is applied
// at creation, before anyone else opens the slave, so nothing is echoed or translated.
//
// Promises on failure: Open returns false with a message; afterwards reads and writes report
// nothing done (0 bytes) rather than failing, because a missing program is normal on a
// pseudo-terminal; only Write reports a hard error with -1.

#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

class PtyLine {
 public:
  PtyLine() = default;
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  bool Open(uint32_t baud, std::string* error);
  void Close();  // the program's end sees a hang-up from now on
  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }

  // Descriptor that becomes readable when the slave is opened or closed (-1: none).
  int WatchFd() const { return watch_; }
  // The next time the slave became open (true: its first opener) or closed (false: its last
  // opener went) since the last call; false when none.
  bool NextPeerChange(bool* opened);
  // Whether anyone has the slave open now.
  bool PeerOpen() const;
  // The rate the program's end is set to (0 when it cannot be read).
  uint32_t HostBaud() const;
  // What the program has written, up to n bytes; 0 when nothing is waiting.
  size_t Read(uint8_t* buf, size_t n);
  // Bytes accepted (possibly fewer than n when the line is full), or -1.
  long Write(const uint8_t* buf, size_t n);

 private:
  bool HangUpSaysOpen() const;

  int master_ = -1;
  int watch_ = -1;
  int openers_ = 0;
  bool polledOpen_ = false;
  std::string slavePath_;
};

}  // namespace sim
