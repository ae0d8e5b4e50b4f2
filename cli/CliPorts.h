#pragma once
// qelm-cli ports [PORT...]: every serial device of this machine and every port of the port map
// (COM1 to COM3, from the environment, the preferences or the adapters present), plus the
// ports named on the command line, each with the COM name it is reached by, whether it can be
// opened now, and which other processes hold it. A line the kernel uses as its console is
// listed but never opened here. Each port is opened and closed at once; a network port is
// asked for within its connect bound.
//
// Never fails as a whole: a port that cannot be opened is a line of the listing that says
// why. Status 0, or 64 for a name that is not a port.

#include <iosfwd>

namespace cli {

int RunPorts(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace cli
