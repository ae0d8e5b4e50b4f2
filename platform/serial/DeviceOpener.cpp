#include "platform/serial/DeviceOpener.h"

#include <errno.h>

#include <cstdio>
#include <cstdlib>

#include "platform/serial/GensioLink.h"
#include "platform/serial/KernelConsoles.h"
#include "platform/serial/NetworkPortName.h"
#include "platform/serial/NetworkSerial.h"
#include "platform/serial/TermiosSerial.h"

namespace platform {

namespace {

// How long a server that did not answer is taken as still not answering.
constexpr int64_t kUnansweredUs = 5000000;

}  // namespace

std::string TlsCaFile() {
  const char* ca = std::getenv("QELM_TLS_CA");
  return ca ? std::string(ca) : std::string();
}

std::unique_ptr<SerialDevice> DeviceOpener::Open(const std::string& device, int* lastError) {
  int dummy = 0;
  if (!lastError) lastError = &dummy;
  failure_.clear();
  if (!LooksLikeNetworkPort(device)) {
    auto opened = TermiosSerial::Open(device, lastError);
    if (opened && IsKernelConsole(device) && warnedConsole_ != device) {
      // Named on purpose, so it opens; but whoever named it should know what it is.
      warnedConsole_ = device;
      std::fprintf(stderr, "warning: %s is the kernel's console; its rate and settings change\n",
                   device.c_str());
    }
    return opened;
  }
  std::optional<NetworkPortName> name = ParseNetworkPort(device);
  if (!name) {
    *lastError = ENOENT;
    failure_ = device + " is not a network port name (rfc2217://HOST:PORT)";
    return nullptr;
  }
  const int64_t now = GensioLink::NowUs();
  if (name->Name() == unanswered_ && now < unansweredUntilUs_) {
    *lastError = ETIMEDOUT;
    failure_ = "no answer from " + name->Endpoint() + " in time";
    return nullptr;
  }
  auto opened =
      NetworkSerial::Open(*name, TlsCaFile(), NetworkSerial::kConnectBoundMs, lastError, &failure_);
  if (!opened && *lastError == ETIMEDOUT) {
    unanswered_ = name->Name();
    unansweredUntilUs_ = GensioLink::NowUs() + kUnansweredUs;
  }
  return opened;
}

}  // namespace platform
