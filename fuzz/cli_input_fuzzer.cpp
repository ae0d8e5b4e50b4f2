// The readers of what a person hands qelm-cli in a file: the ports file and the profile. Any
// bytes are taken or refused with a reason, never crash or hang; what is taken holds only
// values a run can use: port names without control characters and within their bound, links
// 0 to 15, a rate of the list, mode and power 0 or 1, device entries 0 to 3.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliProfile.h"
#include "cli/InputText.h"
#include "cli/PortNames.h"
#include "fuzz/FuzzCheck.h"
#include "platform/system/CodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the reader and whether service mode is on.
  const uint8_t choice = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string reason;
  if (!cli::TakeInputText(&text, &reason)) {
    if (reason.empty()) fuzz::Broken("a refusal says why");
    return 0;
  }
  std::string error;
  if (choice & 1) {
    std::vector<cli::FleetPort> ports;
    if (!cli::ParsePortsText(text, "ports", &ports, &error)) {
      if (error.empty()) fuzz::Broken("a refused ports file says why");
      // No C0 control, no DEL, and no C1 control (U+0080 to U+009F) in what is shown.
      for (size_t i = 0; i < error.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(error[i]);
        const bool c1 = c == 0xC2 && i + 1 < error.size() &&
                        static_cast<unsigned char>(error[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(error[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F || c1) fuzz::Broken("a message shows no control character");
      }
      return 0;
    }
    for (const cli::FleetPort& p : ports) {
      const std::string name = platform::WideToUtf8(p.port);
      if (name.empty() || name.size() > cli::kMaxPortNameBytes) fuzz::Broken("a port name's size");
      for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F) fuzz::Broken("a port name without control characters");
      if (p.link && (*p.link < 0 || *p.link > 15)) fuzz::Broken("a port's link from 0 to 15");
    }
    return 0;
  }
  cli::CliOptions o;
  o.service = (choice & 2) != 0;
  if (!cli::ApplyProfileText(text, "profile", &o, &error)) {
    if (error.empty()) fuzz::Broken("a refused profile says why");
    return 0;
  }
  if (o.link && (*o.link < 0 || *o.link > 15)) fuzz::Broken("a profile's link from 0 to 15");
  if (o.mode && *o.mode != 0 && *o.mode != 1) fuzz::Broken("a profile's mode 0 or 1");
  if (o.power && *o.power != 0 && *o.power != 1) fuzz::Broken("a profile's power 0 or 1");
  if (o.bandEntry && *o.bandEntry != 0 && *o.bandEntry != 1) fuzz::Broken("a band entry 0 or 1");
  if (o.device && (*o.device < 0 || *o.device > 3)) fuzz::Broken("a device entry 0 to 3");
  if (o.newRate && cli::RateIndex(*o.newRate) < 0) fuzz::Broken("a rate of the list");
  if (!o.service && (o.power || o.bandEntry)) fuzz::Broken("band and power only in service mode");
  return 0;
}
