#include "platform/devices/DeviceOpener.h"

#include <errno.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/devices/ConnectProcedure.h"
#include "platform/devices/GensioConnection.h"
#include "platform/devices/KernelConsoles.h"
#include "platform/devices/NetworkSerial.h"
#include "platform/devices/PortName.h"
#include "platform/devices/TermiosSerial.h"
#include "platform/devices/TlsFiles.h"

namespace platform {

namespace {

// How long a network failure outside a connect procedure is taken as still standing.
constexpr int64_t kRememberedUs = 5000000;

}  // namespace

void DeviceOpener::FollowProcedure() {
  const uint64_t current = ConnectProcedure::Current();
  if (current == procedure_) return;
  procedure_ = current;
  if (current != 0) {
    // A fresh record: the devices of an earlier procedure may still hold the old one.
    budget_ = std::make_shared<NetworkSerial::ConnectBudget>();
    firstRoundTripUs_ = 0;
    firstOpeningUs_ = 0;
  }
  std::erase_if(failures_, [](const auto& entry) { return entry.second.untilUs != 0; });
}

uint32_t DeviceOpener::ConnectBudgetMs() const {
  // The first opening's own time counts too: on a long or loaded path it may have spent most of
  // six round trips already, and its line setting, part of its connect, needs one more.
  const int64_t fromRoundTrip =
      std::max(firstRoundTripUs_ * kRoundTripsPerBudget, firstOpeningUs_ + 2 * firstRoundTripUs_) /
      1000;
  return static_cast<uint32_t>(
      std::clamp<int64_t>(fromRoundTrip, kMinConnectBudgetMs, kMaxConnectBudgetMs));
}

std::unique_ptr<SerialDevice> DeviceOpener::Open(const std::string& device, int* lastError) {
  int dummy = 0;
  if (!lastError) lastError = &dummy;
  failure_.clear();
  std::optional<PortName> target = ParseDeviceName(device);
  if (!target) {
    *lastError = ENOENT;
    failure_ = device + " is not a network port name (rfc2217://HOST:PORT)";
    return nullptr;
  }
  if (target->kind == PortName::Kind::kNetwork) return OpenNetwork(target->network, lastError);
  auto opened = TermiosSerial::Open(device, lastError);
  if (opened && IsKernelConsole(device) && warnedConsole_ != device) {
    // Named on purpose, so it opens; but whoever named it should know what it is.
    warnedConsole_ = device;
    std::fprintf(stderr, "warning: %s is the kernel's console; its rate and settings change\n",
                 device.c_str());
  }
  return opened;
}

std::unique_ptr<SerialDevice> DeviceOpener::OpenNetwork(const NetworkPortName& name,
                                                        int* lastError) {
  FollowProcedure();
  const bool inProcedure = procedure_ != 0;
  const std::string key = name.Name();
  const int64_t now = GensioConnection::NowUs();
  if (auto it = failures_.find(key); it != failures_.end()) {
    if (it->second.untilUs == 0 || inProcedure || now < it->second.untilUs) {
      *lastError = it->second.error;
      failure_ = it->second.why;
      return nullptr;
    }
    failures_.erase(it);
  }
  int64_t boundUs = static_cast<int64_t>(ConnectBudgetMs()) * 1000;
  if (inProcedure) boundUs -= budget_->spentUs;
  std::unique_ptr<NetworkSerial> opened;
  if (boundUs <= 0) {
    *lastError = ETIMEDOUT;
    failure_ = "no answer from " + name.Endpoint() + " in time";
  } else {
    // Before the first round trip is known, a long path may need more than the first bound
    // to open at all. Opening the connection takes two round trips at least (the connection,
    // the telnet negotiation): three times its time stands for six round trips until the
    // server's first answer.
    GensioConnection::Growth growth;
    if (firstRoundTripUs_ == 0)
      growth = {now + static_cast<int64_t>(kMaxConnectBudgetMs) * 1000,
                static_cast<int>(kRoundTripsPerBudget / 2)};
    opened = NetworkSerial::Open(name, TlsOptions::FromEnvironment(),
                                 static_cast<uint32_t>((boundUs + 999) / 1000), lastError,
                                 &failure_, growth);
  }
  budget_->spentUs += GensioConnection::NowUs() - now;
  if (opened) {
    if (firstRoundTripUs_ == 0) {
      firstRoundTripUs_ = std::max<int64_t>(opened->ConnectRoundTripUs(), 1);
      firstOpeningUs_ = GensioConnection::NowUs() - now;
    }
    budget_->limitUs = static_cast<int64_t>(ConnectBudgetMs()) * 1000;
    if (inProcedure) opened->ShareConnectBudget(budget_);
    if (!opened->TrustSource().empty())
      ConnectProcedure::Note("The certificate of " + name.Endpoint() + " was checked against " +
                             opened->TrustSource());
    return opened;
  }
  // A refused certificate or an unusable TLS file does not change by asking again.
  const bool final =
      *lastError == EACCES || *lastError == EINVAL ||
      (name.tls && *lastError == ENOENT && failure_.find(name.Endpoint()) == std::string::npos);
  failures_[key] =
      Failure{*lastError, failure_, final ? 0 : GensioConnection::NowUs() + kRememberedUs};
  return nullptr;
}

}  // namespace platform
