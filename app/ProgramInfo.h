#pragma once
// What qelm-config answers by itself, before any dialog: "--help" and "--version", each as the
// whole command line, print a text to standard output and end the program with status 0,
// without a window, a terminal screen or a log line. Every other command line, "/Service"
// among them, goes to the application object unchanged.
//
// Nothing here fails: a program file without its version resource still gives the version
// line, without the build number.

#include <string>

namespace app {

enum class InfoRequest { kNone, kHelp, kVersion };

// The request a command line makes (argv[0] the program).
InfoRequest InfoRequestOf(int argc, const char* const* argv);

// The text printed for a request, for the program whose file is programFile.
std::string InfoText(InfoRequest request, const std::u16string& programFile);

}  // namespace app
