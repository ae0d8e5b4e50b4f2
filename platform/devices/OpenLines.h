#pragma once
// The serial lines this process has open, with the settings each was found with, so that a
// program told to stop at once (a second signal) can give every line back as it was found
// (its settings, and its exclusive flag cleared) before it ends without running destructors.
// The termios device remembers itself here when it opens and forgets itself when it closes.
//
// Promises on failure: nothing fails; a line that refuses its old settings is skipped.

struct termios2;

namespace platform {

void RememberLine(int fd, const termios2* saved);  // saved may be null: nothing to give back
void ForgetLine(int fd);
// Gives every remembered line its settings back and clears its exclusive flag. Safe to call
// from any thread while the lines are in use elsewhere.
void RestoreOpenLines();

}  // namespace platform
