#pragma once
// Files read and written whole, for what a command-line program takes from a person (a ports
// file, a profile) and the lines it appends for others to read (a report of JSON Lines).
//
// ReadBoundedFile never blocks and never reads without bound: it opens without waiting (a FIFO
// or a device is refused, not waited on), takes only a regular file, and refuses one larger
// than maxBytes. AppendWhole adds a text to a file (created if missing) with one write in
// append mode, so that lines of several processes never interleave and each is on storage
// whole or not at all as far as the file system allows; a short or failed write is reported.
//
// Promises on failure: false with a one-line reason (ending in the system's word for the error
// where there is one); nothing else is changed.

#include <cstddef>
#include <string>

namespace platform {

bool ReadBoundedFile(const std::string& path, size_t maxBytes, std::string* contents,
                     std::string* reason);

bool AppendWhole(const std::string& path, const std::string& text, std::string* reason);

// Creates the file empty (or empties it) for a run to append to. Neither this nor AppendWhole
// waits on a FIFO that nobody reads: that is refused at once.
bool CreateEmpty(const std::string& path, std::string* reason);

}  // namespace platform
