#pragma once
// The serial device behind a network serial server: "rfc2217://HOST:PORT", or
// "rfc2217+tls://HOST:PORT": the server's certificate must pass the chain check against the
// trust store and be issued for HOST (TlsFiles.h, PeerCertificate.h), and a client certificate
// is presented when one is set. It keeps the promises of every serial device (SerialDevice.h) on
// the wire of the far end: line settings go to the server with the telnet COM port option and count
// as applied only when the server confirms them with the same values; a purge of the input purges
// the server's buffer and ours; the input count and the waits work on what has arrived here. The
// modem lines are the server's business (it raises them when it opens its line, and on a
// pseudo-terminal it cannot set them at all), so they are never asked for. The server sets its line
// from its own configuration for each new connection, so nothing needs giving back at close.
// Closing waits for what was just written to reach the far line first (WaitOutputSent), as closing
// a local line does: a server that closes its line on disconnect discards what it has not sent.
//
// Promises on failure: Open fails within its bound (kConnectBoundMs) with an errno value and a
// short reason naming HOST:PORT: ETIMEDOUT (no answer, or a server that never completes the
// telnet negotiation), ECONNREFUSED, ENOENT (unknown host, or a TLS file that does not exist),
// EACCES (the certificate was refused, or a TLS file cannot be used; never a silent fall-back
// to the clear), EBUSY (another client holds the line), EPROTO (no COM port option). A connection
// that drops is a vanished device: reads, writes, waits and status queries fail with EIO, as a
// termios device whose line hung up. A server that goes quiet is a silent line: reads time
// out, waits end at their bound, a line setting it never confirms fails after
// kSettingBoundMs.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/devices/GensioConnection.h"
#include "platform/devices/NetworkPortName.h"
#include "platform/devices/TimedSerialDevice.h"
#include "platform/devices/TlsFiles.h"

namespace platform {

class NetworkSerial final : public TimedSerialDevice {
 public:
  static constexpr uint32_t kConnectBoundMs = 3000;
  static constexpr uint32_t kSettingBoundMs = 3000;
  // How long a close waits at most for the server to confirm that it has taken everything
  // written before it (a round trip), and how long after that the bytes are given to leave its
  // line, beyond their time on the wire at the line's rate.
  static constexpr uint32_t kSentBoundMs = 1000;
  static constexpr uint32_t kSentGuardMs = 100;

  // tls: for a TLS name, what the environment names (TlsFiles.h). nullptr with *lastError and
  // *why when it cannot be opened. growth: how far the bound may grow with the time the
  // connection took to open, when nothing has been measured yet (GensioConnection.h).
  static std::unique_ptr<NetworkSerial> Open(const NetworkPortName& name, const TlsOptions& tls,
                                             uint32_t boundMs, int* lastError, std::string* why,
                                             GensioConnection::Growth growth = {});
  // caFile: for TLS, the trust store to use in place of the system's; empty for the system's.
  // No client certificate.
  static std::unique_ptr<NetworkSerial> Open(const NetworkPortName& name, const std::string& caFile,
                                             uint32_t boundMs, int* lastError, std::string* why);
  // The round trip of the server's first answer while connecting.
  int64_t ConnectRoundTripUs() const { return link_.ConnectRoundTripUs(); }
  // What a connect procedure has left for connecting, shared by its openings: the first line
  // setting of an opening still belongs to its connect, so it is bounded by what is left and
  // the time it takes is counted.
  struct ConnectBudget {
    int64_t limitUs = 0;
    int64_t spentUs = 0;
  };
  void ShareConnectBudget(std::shared_ptr<ConnectBudget> budget) { budget_ = std::move(budget); }
  // Where the server's certificate was checked against, for the log; empty in the clear.
  const std::string& TrustSource() const { return trustSource_; }
  ~NetworkSerial() override;

  bool GetCommState(DCB& dcb) override;
  bool SetCommState(const DCB& dcb) override;
  bool PurgeComm(uint32_t flags) override;
  bool ClearCommError(uint32_t* errors, COMSTAT* stat) override;
  bool SetCommMask(uint32_t mask) override;
  bool WaitCommEvent(uint32_t* events, uint32_t boundMs) override;
  bool WriteFile(const void* buf, uint32_t n, uint32_t* written) override;
  // True once every byte WriteFile took so far has been handed to the network and the server
  // has answered a question sent after them (one round trip): it has read them all. False
  // with EIO when the connection is lost first, ETIMEDOUT when that takes longer than boundMs.
  bool ConfirmWritten(uint32_t boundMs) override;
  // The round trips of every COM port question and its answer, smoothed (RoundTripEstimator.h).
  PathTiming PathDelay() const override;
  int LastError() const override { return lastError_; }
  std::string LostReason() const override;

 private:
  NetworkSerial() = default;
  bool Fail(int error);
  // The transport of the timed read: the steady clock and what has arrived from the server.
  // A lost connection fails only once everything that came before it has been read.
  int64_t NowUs() override { return GensioConnection::NowUs(); }
  int64_t ReadNow(uint8_t* buf, uint32_t n) override;
  Wait WaitReadable(int64_t deadlineUs) override;
  // Takes what has arrived without waiting; false (EIO) once the connection is lost and
  // nothing is left to read.
  bool Poll();
  // Before the connection closes: when something was written lately, one round trip to the
  // server (it answers after taking in everything sent before the question), then the
  // written bytes' time on the line and the guard. Bounded; a lost connection skips it.
  void WaitOutputSent();
  void NoteWritten(uint32_t n);
  // Hands everything written to the network, then asks the server one question and waits for
  // its answer, by the deadline; false with the last error set.
  bool AskAfterWritten(int64_t untilUs);

  GensioConnection link_;
  int lastError_ = 0;
  uint32_t mask_ = 0;
  // What the server last confirmed (the rest of the record as it was last set); the fields
  // the server has not confirmed yet are sent with the next SetCommState.
  DCB shadow_;
  bool lineKnown_ = false;
  int64_t overrunsSeen_ = 0;
  // When the written bytes will have left the server's line, by the clock of NowUs; 0 when
  // nothing was written.
  int64_t drainedAtUs_ = 0;
  std::string trustSource_;
  std::string endpoint_;
  std::shared_ptr<ConnectBudget> budget_;  // until the first line setting
};

}  // namespace platform
