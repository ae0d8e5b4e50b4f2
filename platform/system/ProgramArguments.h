#pragma once
// A command-line program's arguments as UTF-8, whatever the system passes: on Linux the
// arguments as they are; on Windows the program's wide command line (GetCommandLineW, split as
// the C runtime splits it), since the narrow arguments there are in the system's code page and
// lose what it cannot hold. On Windows the console is also set to show UTF-8, so that what the
// program prints reads the same as on Linux.
//
// Nothing here fails: where the wide command line cannot be had, the arguments given are kept.

#include <string>
#include <vector>

namespace platform {

class ProgramArguments {
 public:
  ProgramArguments(int argc, char** argv);
  ProgramArguments(const ProgramArguments&) = delete;
  ProgramArguments& operator=(const ProgramArguments&) = delete;

  int Count() const { return static_cast<int>(texts_.size()); }
  // argv-shaped, valid while this object lives.
  char** Argv() { return pointers_.data(); }

 private:
  void Point();
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

}  // namespace platform
