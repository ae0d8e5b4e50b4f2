#pragma once
// A question for the person at the controlling terminal (/dev/tty), never for whatever
// standard input happens to be (a pipe, a file, a closed descriptor): a yes that is piped in
// is no answer. The question is written to the terminal and the answer read from it. On
// Windows the terminal is the console (CONIN$ and CONOUT$); a process detached from it (a
// fleet's child) has none.
//
// Promises on failure: HaveTerminal is false where there is no controlling terminal (a service,
// a cron job, a process in a session of its own); Ask then returns nothing, as it does when
// the terminal gives no line (end of input, an error).

#include <functional>
#include <optional>
#include <string>

namespace platform {

bool HaveTerminal();
// Whether standard error is a terminal (a status line updated in place can be shown there).
bool StandardErrorIsTerminal();
// The size of the terminal standard error is on, in character cells; false (and nothing set)
// where it is no terminal or the terminal does not say.
bool StandardErrorSize(int* columns, int* rows);
// Writes the question (UTF-8) to the terminal and reads one line back, without its line end.
// With `cancelled`, it is asked about ten times a second while no answer has come; when it
// says true the question ends at once without an answer.
std::optional<std::string> AskTerminal(const std::string& question,
                                       const std::function<bool()>& cancelled = {});

}  // namespace platform
