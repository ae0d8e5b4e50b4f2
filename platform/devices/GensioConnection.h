#pragma once
// One connection to a serial server through gensio: a telnet client with the COM port option
// (RFC 2217), in the clear or inside TLS, over TCP. It runs the library's event loop itself, on
// the caller's thread, only while one of its calls waits, and never longer than the deadline
// the call is given; what the server sends meanwhile is queued here. Nothing else of the
// program sees gensio.
//
// Promises on failure: every call gives a result instead of throwing; Connect gives a short
// reason naming the server's HOST:PORT. A connection that the server or the network drops is
// marked lost (Lost()), and from then on writes and line settings fail at once; what had
// arrived before stays readable. SIGPIPE, which the library's writes to a closed connection would
// raise, is ignored from the first connection on unless the program handles it itself. Destroying
// the link closes the connection, waiting at most a second for it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/devices/NetworkPortName.h"
#include "platform/devices/RoundTripEstimator.h"
#include "platform/devices/TlsFiles.h"

struct gensio;
struct gensio_os_funcs;
struct sergensio;

namespace platform {

// How far a connect's deadline may grow with the time the opening took (Connect below).
struct ConnectGrowth {
  int64_t growUntilUs = 0;  // 0: the deadline stays
  int roundTrips = 0;
};

class GensioConnection {
 public:
  // The line settings that the COM port option carries, each confirmed by the server.
  enum class Setting { kBaud, kDataSize, kParity, kStopBits, kFlowControl };

  GensioConnection();
  ~GensioConnection();
  GensioConnection(const GensioConnection&) = delete;
  GensioConnection& operator=(const GensioConnection&) = delete;

  // Connects and checks that the server offers the COM port option, by the deadline (steady
  // clock, microseconds). tls: the checked files for a TLS name (see TlsFiles.h); the
  // server's certificate must pass the chain check against the trust store and be for the
  // name's host (PeerCertificate.h). 0, or an errno value with *why set: EACCES for a refused
  // certificate, EBUSY for a line another client holds. A long path may need more than the
  // deadline allows before anything was measured: once the connection is open, the deadline
  // grows to roundTrips times the time the opening took (itself at least one round trip), but
  // never past growUntilUs.
  using Growth = ConnectGrowth;
  int Connect(const NetworkPortName& name, const TlsFiles& tls, int64_t untilUs, std::string* why,
              Growth growth = {});
  // The round trip of the COM port question asked while connecting (microseconds).
  int64_t ConnectRoundTripUs() const { return roundTripUs_; }
  // The path to the server: every answer to a COM port question is a round-trip sample.
  const RoundTripEstimator& Path() const { return path_; }

  // Runs the event loop until something has happened or the deadline has come.
  void Pump(int64_t untilUs);
  // Hands as much of data to the connection as it takes now; the count taken, -1 when lost.
  int64_t Offer(const unsigned char* data, size_t n);
  struct LineValue {
    Setting which;
    unsigned value;    // 0 only asks
    unsigned applied;  // the server's answer
  };
  // Sends every setting at once and waits for all of the server's answers. 0 with each
  // applied value filled in, else ETIMEDOUT, EIO (lost, or the server refused) or ENOTSUP
  // (the server never agreed to the COM port option).
  int SetLines(LineValue* values, size_t count, int64_t untilUs);
  // Waits until the library has handed everything offered so far to the network (the kernel
  // holds it: a COM port question sent after this cannot overtake it, which it otherwise may,
  // since the telnet layer sends its commands ahead of data it still holds). 0, ETIMEDOUT,
  // or EIO when the connection is lost.
  int Flush(int64_t untilUs);
  // Asks the server to drop what it holds from the line for us (no answer comes).
  void PurgeServerInput();

  std::string& Received() { return in_; }
  bool Lost() const { return lost_; }
  // The connection was lost because the server closed it (not a network failure).
  bool ClosedByServer() const { return closedByServer_; }
  // The line's rate as the server reported it while connecting.
  unsigned ServerRate() const { return serverRate_; }
  // After an Offer that took less than it was given: room has come since.
  bool WriteReady() const { return writeReady_; }
  int64_t Overflowed() const { return overflowed_; }

  static int64_t NowUs();

 private:
  struct Request;
  static int OnEvent(gensio* io, void* self, int event, int err, unsigned char* buf,
                     unsigned long* len, const char* const* aux);
  static void OnOpen(gensio* io, int err, void* self);
  static void OnClosed(gensio* io, void* self);
  // After the library's chain check: keeps a failed check's refusal, and refuses a
  // certificate that is not for the host asked for.
  int CheckPeer(gensio* io, int chainError, const char* const* aux);
  std::string WhyClosedWhileConnecting() const;
  void CloseBounded();

  gensio_os_funcs* os_ = nullptr;
  gensio* io_ = nullptr;
  sergensio* sio_ = nullptr;
  // Answers may come after their wait gave up; the records live until the link goes.
  std::vector<std::unique_ptr<Request>> requests_;
  std::string in_;
  int64_t overflowed_ = 0;
  bool lost_ = false;
  bool closedByServer_ = false;
  bool writeReady_ = false;
  int openResult_ = -1;  // -1 while the open runs
  bool closed_ = false;
  unsigned serverRate_ = 0;
  std::optional<NetworkPortName> name_;  // the name Connect was given
  bool clientCertificate_ = false;
  std::string certRefusal_;
  // The server's certificate passed: the handshake is over on this side.
  bool peerAccepted_ = false;
  int64_t roundTripUs_ = 0;
  RoundTripEstimator path_;
};

}  // namespace platform
