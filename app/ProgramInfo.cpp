#include "app/ProgramInfo.h"

#include <cstdint>
#include <vector>

#include "platform/system/CodePage.h"
#include "platform/system/VersionResource.h"

namespace app {

namespace {

// The build's number from the program's own version resource, or an empty text.
std::string BuildNumber(const std::u16string& programFile) {
  const uint32_t size = platform::GetFileVersionInfoSize(programFile);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!platform::GetFileVersionInfo(programFile, size, block.data())) return {};
  std::u16string build;
  if (!platform::VerQueryValue(block.data(), u"\\StringFileInfo\\040904b0\\SpecialBuild", &build))
    return {};
  return platform::WideToUtf8(build);
}

std::string Folder(const std::u16string& programFile) {
  const std::string path = platform::WideToUtf8(programFile);
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

InfoRequest InfoRequestOf(int argc, const char* const* argv) {
  if (argc != 2) return InfoRequest::kNone;
  const std::string word = argv[1];
  if (word == "--help") return InfoRequest::kHelp;
  if (word == "--version") return InfoRequest::kVersion;
  return InfoRequest::kNone;
}

std::string InfoText(InfoRequest request, const std::u16string& programFile) {
  if (request == InfoRequest::kVersion) {
    const std::string build = BuildNumber(programFile);
    return std::string("qelm-config ") + QELM_VERSION +
           (build.empty() ? "" : " (build " + build + ")") + "\n";
  }
  if (request != InfoRequest::kHelp) return {};
  return "usage: qelm-config [/Service]\n"
         "       qelm-config --help | --version\n"
         "The configuration tool for the 2400/2410 spread-spectrum radio modem: finds the radio\n"
         "on a serial port (COM1 to COM3), reads its settings, stores changes back into it and\n"
         "resets it to the maker's defaults.\n"
         "\n"
         "  /Service    also offer the service settings (frequency band, transmit power); it\n"
         "              must be the whole command line, letter case ignored\n"
         "  --help      this text\n"
         "  --version   the version and the build number\n"
         "\n"
         "With a display (DISPLAY or WAYLAND_DISPLAY) the tool opens its window; without one,\n"
         "started in a terminal (over SSH, for instance), it runs in that terminal.\n"
         "QELM_UI=qt or QELM_UI=terminal chooses. F1 or Help shows the help file.\n"
         "\n"
         "Ports: the device behind COM1 to COM3 is QELM_COM1 to QELM_COM3, else the Ports\n"
         "group of the preferences file, else the serial adapters present (/dev/serial/by-id)\n"
         "for COM1 and COM2, else /dev/ttyS0 to /dev/ttyS2; the kernel's console is never\n"
         "chosen. A device may be a network serial server: rfc2217://HOST:PORT or\n"
         "rfc2217+tls://HOST:PORT (the server's certificate and name checked against the\n"
         "PEM file or folder QELM_TLS_CA names, else the system's trust store; a client\n"
         "certificate from QELM_TLS_CERT and QELM_TLS_KEY when the server asks for one).\n"
         "Environment: QELM_COM1, QELM_COM2, QELM_COM3, QELM_TLS_CA, QELM_TLS_CERT,\n"
         "QELM_TLS_KEY, QELM_DATA_DIR (the log's folder), QELM_UI, XDG_STATE_HOME,\n"
         "XDG_CONFIG_HOME, BROWSER (the terminal's help browser).\n"
         "Files: TUVAR_TOOL_Log.txt in $QELM_DATA_DIR, else $XDG_STATE_HOME/qelm-config, else\n"
         "~/.local/state/qelm-config (the log); \"Morva Fendral/QELM Config Tool.conf\" in\n"
         "$XDG_CONFIG_HOME, else ~/.config (the port and rate chosen last, the Ports group);\n"
         "the help file\n" +
         Folder(programFile) +
         "/QELM_Help.htm.\n"
         "See qelm-config(1), qelm-cli(1) and qelm-radio-sim(1).\n";
}

}  // namespace app
