#include "cli/CliUsage.h"

namespace cli {

namespace {

constexpr char kPortLine[] =
    "PORT is COM1, COM2, COM3 (mapped by QELM_COM1..3), the path of a serial terminal, or a\n"
    "network serial server: rfc2217://HOST:PORT, rfc2217+tls://HOST:PORT.\n";
constexpr char kRateLine[] = "R is one of 4800, 9600, 14400, 19200, 57600, 115200.\n";
constexpr char kStatusLines[] =
    "Exit status: 0 done, 1 a step failed, 2 the port refused the new rate, 3 the port could\n"
    "not be opened, 64 bad usage, 128 + N after signal N (130 Ctrl+C, 143 SIGTERM).\n";
constexpr char kCommonOptions[] =
    "  --port PORT      the radio's port\n"
    "  --rate R         the rate to try first (115200)\n"
    "  --wait SECONDS   how long to wait for an external radio over the whole connect (60)\n"
    "  --json           one JSON object instead of the text report\n"
    "  --report FILE    also write the report to FILE (.jsonl: JSON Lines, .csv: CSV)\n"
    "  --quiet          only the report and errors\n";

}  // namespace

bool HasUsage(const std::string& command) {
  return command == "read" || command == "save" || command == "reset" || command == "fleet" ||
         command == "ports";
}

std::string UsageText(const std::string& command) {
  if (command == "read")
    return std::string(
               "usage: qelm-cli read --port PORT [--rate R] [--service] [--json]\n"
               "Connects to the radio and reports its settings.\n") +
           kCommonOptions + "  --service        also the band and the transmit power\n" +
           kPortLine + kRateLine + kStatusLines;
  if (command == "save")
    return std::string(
               "usage: qelm-cli save --port PORT [--profile FILE] [--device N|NAME] [--link N]\n"
               "                     [--mode remote|base] [--new-rate R]\n"
               "                     [--service [--band worldwide|usa] [--power low|high]]\n"
               "                     [--verify | --plan | --always-store] [--json]\n"
               "Reads the radio, puts the options on top and stores the settings; a radio that\n"
               "already holds them all is left alone (result 'unchanged', status 0).\n") +
           kCommonOptions +
           "  --profile FILE   the settings of a file that 'read --json' wrote (device, link,\n"
           "                   mode, rate; band and power with --service); options override it\n"
           "  --verify         connect again at the new rate and compare what the radio holds\n"
           "                   with what was stored\n"
           "  --plan           read, tell what a save would change, send nothing else\n"
           "  --always-store   store even when the radio already holds every setting\n" +
           kPortLine + kRateLine + kStatusLines;
  if (command == "reset")
    return std::string(
               "usage: qelm-cli reset --port PORT [--rate R] [--yes | --plan] [--json]\n"
               "Resets the radio to the maker's defaults. The question is asked on the\n"
               "terminal; where there is none, --yes is needed.\n") +
           kCommonOptions +
           "  --plan           read, tell what a reset would set, send nothing else\n" + kPortLine +
           kRateLine + kStatusLines;
  if (command == "fleet")
    return std::string(
               "usage: qelm-cli fleet (--ports PORT,PORT,... | --ports-file FILE |\n"
               "                       --retry-failed REPORT) [--jobs N] [--wait SECONDS]\n"
               "                      [--json] [--report FILE] [--quiet]\n"
               "                      -- read|save|reset [that command's options]\n"
               "Runs one job on many ports, one process per port.\n"
               "  --ports-file FILE  one port a line, optionally followed by its own link\n"
               "                     number for a save ('PORT LINK'); '#' starts a comment\n"
               "  --jobs N           at most N ports at once (64)\n"
               "  --json             JSON Lines: one object per port as it ends, then a summary\n"
               "  --report FILE      also write that report to FILE (.jsonl or .csv)\n"
               "  --retry-failed REPORT  the ports of an earlier report that did not end done,\n"
               "                     unchanged or planned, with their ports file's links\n"
               "  --quiet            only the table (or JSON) and errors\n"
               "Ctrl+C or SIGTERM: no store starts any more, a store under way runs to its end;\n"
               "a second signal stops at once.\n") +
           kPortLine + kStatusLines;
  if (command == "ports")
    return std::string(
               "usage: qelm-cli ports [PORT...]\n"
               "Lists COM1 to COM3 with the device each maps to and where the mapping came from,\n"
               "every other serial device present, and the ports named; for each whether it\n"
               "opens and which programs hold it. The kernel's console is never opened.\n") +
           kPortLine + "Exit status: 0 listed, 64 bad usage.\n";
  return std::string(
             "usage:\n"
             "  qelm-cli read  --port PORT [--rate R] [--service] [--json]\n"
             "  qelm-cli save  --port PORT [--profile FILE] [--device N|NAME] [--link N]\n"
             "                 [--mode remote|base] [--new-rate R] [--verify] [--plan]\n"
             "                 [--always-store] [--json]\n"
             "  qelm-cli reset --port PORT [--rate R] [--yes | --plan] [--json]\n"
             "  qelm-cli fleet --ports PORT,... | --ports-file FILE | --retry-failed REPORT\n"
             "                 [--jobs N] [--wait SECONDS] [--quiet]\n"
             "                 [--json] [--report FILE] -- read|save|reset [options]\n"
             "  qelm-cli ports [PORT...]\n"
             "  qelm-cli help [COMMAND] | --help | --version\n") +
         kPortLine + kRateLine + kStatusLines;
}

}  // namespace cli
