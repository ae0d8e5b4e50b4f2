#include "platform/devices/GensioConnection.h"

#include <errno.h>
#include <gensio/gensio.h>
#include <gensio/gensio_control.h>
#include <gensio/gensio_err.h>
#include <gensio/gensio_os_funcs_public.h>
#include <gensio/sergensio.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>

#include "platform/devices/PeerCertificate.h"

namespace platform {

namespace {

// What the server sends while nobody reads is kept up to this much; the rest is counted as
// an overrun, as a serial port's input queue would.
constexpr size_t kMaxQueued = 1 << 20;
constexpr int64_t kCloseBoundUs = 1000000;

// The library's own complaints would go to standard error; the program has its log and its
// failure texts instead, and nothing of the line's traffic may leak.
void Silent(gensio_os_funcs*, enum gensio_log_levels, const char*, va_list) {}

gensio_os_funcs* EventLoop(int* error) {
  static gensio_os_funcs* os = nullptr;
  static int failed = 0;
  if (!os && !failed) {
    // The library writes to its sockets without asking the kernel to spare the process a
    // SIGPIPE; a server that closes the connection while something is on its way (ser2net
    // sending away a second client, say) would end the program. A program that has a handler
    // of its own keeps it.
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
      ::signal(SIGPIPE, SIG_IGN);
    // One thread makes every gensio call, so no wake-up signal is needed (0).
    failed = gensio_default_os_hnd(0, &os);
    if (!failed) gensio_os_funcs_set_vlog(os, Silent);
  }
  *error = failed;
  return os;
}

int ErrnoFor(int gensioError) {
  switch (gensioError) {
    case GE_TIMEDOUT:
      return ETIMEDOUT;
    case GE_CONNREFUSE:
      return ECONNREFUSED;
    case GE_HOSTDOWN:
      return EHOSTDOWN;
    case GE_NOMEM:
      return ENOMEM;
    case GE_CERTINVALID:
    case GE_CERTEXPIRED:
    case GE_CERTREVOKED:
    case GE_NOCERT:
    case GE_CERTNOTFOUND:
    case GE_KEYINVALID:
    case GE_AUTHREJECT:
      return EACCES;
    case GE_UNKNOWN_NAME_ERROR:
    case GE_NAME_ERROR:
    case GE_NAME_SERVER_FAILURE:
    case GE_NAME_INVALID:
    case GE_NAME_NET_NOT_UP:
    case GE_NOTFOUND:
      return ENOENT;
    default:
      return EIO;
  }
}

// What ser2net sends before it closes a connection to a line that another client holds.
constexpr char kInUse[] = "Port already in use";
// The most a server's certificate may take as text.
constexpr size_t kMaxCertificate = 64 * 1024;

bool Quotable(const std::string& path) {
  return std::none_of(path.begin(), path.end(), [](char c) {
    return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
  });
}

}  // namespace

struct GensioConnection::Request {
  RoundTripEstimator* path = nullptr;
  int64_t sentUs = 0;
  bool answered = false;
  int error = 0;
  unsigned value = 0;
};

int64_t GensioConnection::NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

GensioConnection::GensioConnection() = default;

GensioConnection::~GensioConnection() {
  CloseBounded();
}

void GensioConnection::CloseBounded() {
  if (!io_) return;
  if (gensio_close(io_, &GensioConnection::OnClosed, this) == 0) {
    const int64_t until = NowUs() + kCloseBoundUs;
    while (!closed_ && NowUs() < until) Pump(until);
  }
  gensio_free(io_);
  io_ = nullptr;
  sio_ = nullptr;
}

void GensioConnection::Pump(int64_t untilUs) {
  int64_t left = std::max<int64_t>(untilUs - NowUs(), 0);
  gensio_time t{left / 1000000, static_cast<int32_t>((left % 1000000) * 1000)};
  gensio_os_funcs_service(os_, &t);
}

int GensioConnection::Connect(const NetworkPortName& name, const TlsFiles& tls, int64_t untilUs,
                              std::string* why, Growth growth) {
  const int64_t startUs = NowUs();
  const std::string endpoint = name.Endpoint();
  int error = 0;
  os_ = EventLoop(&error);
  if (!os_) {
    *why = "the network library could not start (" + std::string(gensio_err_to_str(error)) + ")";
    return EIO;
  }
  name_ = name;
  std::string stack = "telnet(rfc2217),";
  if (name.tls) {
    for (const std::string* path : {&tls.caPath, &tls.cert, &tls.key}) {
      if (Quotable(*path)) continue;
      *why = "the TLS file " + *path + " has a name that cannot be passed on (quote or backslash)";
      return EINVAL;
    }
    stack += "ssl(CA=\"" + tls.caPath + "\"";
    if (!tls.cert.empty()) stack += ",cert=\"" + tls.cert + "\",key=\"" + tls.key + "\"";
    stack += "),";
    clientCertificate_ = !tls.cert.empty();
  }
  // Without Nagle's delay: a command line goes out as the radio expects it, in one piece, and
  // its CR and LF (written byte by byte) do not wait for the server's acknowledgement.
  stack += "tcp(nodelay)," + name.host + "," + name.port;
  if (int r = str_to_gensio(stack.c_str(), os_, &GensioConnection::OnEvent, this, &io_); r != 0) {
    io_ = nullptr;
    if (name.tls && (r == GE_CERTNOTFOUND || r == GE_KEYNOTFOUND || r == GE_KEYINVALID)) {
      // The client's files were read and matched before; what is left is the trust store.
      *why = r == GE_CERTNOTFOUND ? tls.caSource + " holds no certificate OpenSSL can read"
                                  : "the client certificate (QELM_TLS_CERT) cannot be used";
      return EACCES;
    }
    *why = endpoint + ": " + gensio_err_to_str(r);
    return EINVAL;
  }
  if (int r = gensio_open(io_, &GensioConnection::OnOpen, this); r != 0) {
    *why = endpoint + ": " + gensio_err_to_str(r);
    return ErrnoFor(r);
  }
  // Reading from the start: a server that refuses the line (ser2net's "Port already in use")
  // says so and closes at once, often before the open has completed.
  gensio_set_read_callback_enable(io_, true);
  while (openResult_ < 0 && NowUs() < untilUs) Pump(untilUs);
  if (openResult_ < 0) {
    *why = "no answer from " + endpoint + " in time";
    return ETIMEDOUT;
  }
  if (openResult_ == 0 && growth.growUntilUs > 0) {
    const int64_t openedIn = NowUs() - startUs;
    untilUs =
        std::max(untilUs, std::min(growth.growUntilUs, startUs + growth.roundTrips * openedIn));
  }
  if (openResult_ != 0) {
    if (!certRefusal_.empty()) {
      *why = certRefusal_;
      return EACCES;
    }
    int e = ErrnoFor(openResult_);
    const std::string text = gensio_err_to_str(openResult_);
    if (e == EACCES)
      *why = "the certificate of " + endpoint + " was refused: " + text;
    else if (openResult_ == GE_REMCLOSE || (name.tls && e == EIO && peerAccepted_))
      *why = WhyClosedWhileConnecting();
    else if (name.tls && e == EIO)
      *why = endpoint + " ended the TLS handshake: " + text +
             (clientCertificate_ ? " (it may not accept the client certificate)"
                                 : " (it may require a client certificate, QELM_TLS_CERT)");
    else
      *why = endpoint + ": " + text;
    return e;
  }
  gensio_set_read_callback_enable(io_, true);
  sio_ = gensio_to_sergensio(io_);
  // The server must speak the COM port option, or no rate could ever be set: ask for the rate.
  LineValue ask{Setting::kBaud, 0, 0};
  const int64_t asked = NowUs();
  int r = sio_ ? SetLines(&ask, 1, untilUs) : ENOTSUP;
  if (r == ETIMEDOUT) {
    *why = "no answer from " + endpoint + " in time";
    return ETIMEDOUT;
  }
  if (r != 0 && lost_) {
    *why = WhyClosedWhileConnecting();
    return in_.find(kInUse) != std::string::npos ? EBUSY : EIO;
  }
  if (r != 0) {
    *why = endpoint + " does not offer the telnet COM port option (RFC 2217)";
    return EPROTO;
  }
  roundTripUs_ = NowUs() - asked;
  serverRate_ = ask.applied;
  // The first answer also waited for the server to take the connection on (the telnet
  // options, its own opening of the line), which can take several round trips: it is no
  // measure of the path, and as the estimate's first sample it would weigh on every wait for
  // long. The estimate starts with the questions that follow (the line's settings, at once).
  path_ = RoundTripEstimator{};
  return 0;
}

std::string GensioConnection::WhyClosedWhileConnecting() const {
  const std::string endpoint = name_ ? name_->Endpoint() : std::string("the server");
  if (in_.find(kInUse) != std::string::npos)
    return endpoint + ": the line is in use by another client";
  if (name_ && name_->tls) {
    // TLS 1.3 ends the handshake before the server has looked at the client's certificate:
    // a server that wants one (or another one) can only close the connection afterwards.
    return clientCertificate_
               ? endpoint +
                     ": the server closed the connection after the handshake: it may not accept "
                     "the client certificate (QELM_TLS_CERT)"
               : endpoint +
                     ": the server closed the connection after the handshake: it may require a "
                     "client certificate (QELM_TLS_CERT)";
  }
  // ser2net says "Port already in use" and closes at once; when the telnet negotiation we
  // sent was still unread there, the close resets the connection and its words are lost.
  return endpoint +
         ": the server closed the connection at once: the line may be in use by another client, "
         "or the server stopped";
}

int GensioConnection::CheckPeer(gensio* io, int chainError, const char* const* aux) {
  // Every check of the server's certificate, a later one included, is for the name asked.
  if (!name_) return GE_AUTHREJECT;
  std::string pem(kMaxCertificate, '\0');
  gensiods len = pem.size() - 1;
  if (gensio_control(io, GENSIO_CONTROL_DEPTH_FIRST, GENSIO_CONTROL_GET, GENSIO_CONTROL_CERT,
                     pem.data(), &len) == 0)
    pem.resize(std::min<size_t>(len, pem.size() - 1));
  else
    pem.clear();
  // A chain that failed stays refused, whatever the name.
  if (chainError != 0) {
    certRefusal_ = ChainRefusal(pem, aux && aux[0] ? aux[0] : "", *name_);
    return GE_AUTHREJECT;
  }
  certRefusal_ = NameMismatch(pem, *name_);
  peerAccepted_ = certRefusal_.empty();
  return peerAccepted_ ? 0 : GE_AUTHREJECT;
}

void GensioConnection::OnOpen(gensio*, int err, void* self) {
  static_cast<GensioConnection*>(self)->openResult_ = err;
}

void GensioConnection::OnClosed(gensio*, void* self) {
  static_cast<GensioConnection*>(self)->closed_ = true;
}

int GensioConnection::OnEvent(gensio* io, void* self, int event, int err, unsigned char* buf,
                              unsigned long* len, const char* const* aux) {
  auto* link = static_cast<GensioConnection*>(self);
  switch (event) {
    case GENSIO_EVENT_READ:
      if (err) {
        // The server closed, or the network dropped the connection: the line has vanished.
        link->lost_ = true;
        link->closedByServer_ = err == GE_REMCLOSE;
        gensio_set_read_callback_enable(io, false);
        return 0;
      } else {
        size_t room = kMaxQueued - std::min(kMaxQueued, link->in_.size());
        size_t take = std::min<size_t>(room, *len);
        link->in_.append(reinterpret_cast<const char*>(buf), take);
        link->overflowed_ += static_cast<int64_t>(*len - take);
      }
      return 0;
    case GENSIO_EVENT_POSTCERT_VERIFY:
      return link->CheckPeer(io, err, aux);
    case GENSIO_EVENT_WRITE_READY:
      link->writeReady_ = true;
      gensio_set_write_callback_enable(io, false);
      return 0;
    default:
      return GE_NOTSUP;
  }
}

int64_t GensioConnection::Offer(const unsigned char* data, size_t n) {
  if (lost_ || !io_) return -1;
  gensiods count = 0;
  if (gensio_write(io_, &count, data, n, nullptr) != 0) {
    lost_ = true;
    return -1;
  }
  if (count < n) {
    writeReady_ = false;
    gensio_set_write_callback_enable(io_, true);
  }
  return static_cast<int64_t>(count);
}

int GensioConnection::SetLines(LineValue* values, size_t count, int64_t untilUs) {
  if (lost_ || !sio_) return EIO;
  std::vector<Request*> asked;
  auto done = [](sergensio*, int err, unsigned val, void* data) {
    auto* request = static_cast<Request*>(data);
    request->answered = true;
    request->error = err;
    request->value = val;
    // The server answers at once: the time since the question is the path's round trip.
    if (err == 0 && request->path) request->path->AddSample(NowUs() - request->sentUs);
  };
  for (size_t i = 0; i < count; ++i) {
    requests_.push_back(std::make_unique<Request>());
    Request* request = requests_.back().get();
    request->path = &path_;
    request->sentUs = NowUs();
    const unsigned v = values[i].value;
    int r = 0;
    switch (values[i].which) {
      case Setting::kBaud:
        r = sergensio_baud(sio_, v, done, request);
        break;
      case Setting::kDataSize:
        r = sergensio_datasize(sio_, v, done, request);
        break;
      case Setting::kParity:
        r = sergensio_parity(sio_, v, done, request);
        break;
      case Setting::kStopBits:
        r = sergensio_stopbits(sio_, v, done, request);
        break;
      case Setting::kFlowControl:
        r = sergensio_flowcontrol(sio_, v, done, request);
        break;
    }
    if (r != 0) return r == GE_NOTSUP ? ENOTSUP : EIO;
    asked.push_back(request);
  }
  auto allAnswered = [&] {
    return std::all_of(asked.begin(), asked.end(), [](Request* q) { return q->answered; });
  };
  while (!allAnswered() && !lost_ && NowUs() < untilUs) Pump(untilUs);
  int result = 0;
  if (!allAnswered()) result = lost_ ? EIO : ETIMEDOUT;
  for (size_t i = 0; i < asked.size() && result == 0; ++i) {
    if (asked[i]->error != 0) result = asked[i]->error == GE_NOTSUP ? ENOTSUP : EIO;
    values[i].applied = asked[i]->value;
  }
  // Answered records are done with; late answers still find theirs.
  std::erase_if(requests_, [](const std::unique_ptr<Request>& q) { return q->answered; });
  return result;
}

int GensioConnection::Flush(int64_t untilUs) {
  if (lost_ || !io_) return EIO;
  // The library tells the program it may write again only once every layer below has passed
  // on what it held.
  writeReady_ = false;
  gensio_set_write_callback_enable(io_, true);
  while (!writeReady_ && !lost_ && NowUs() < untilUs) Pump(untilUs);
  if (lost_) return EIO;
  if (!writeReady_) {
    gensio_set_write_callback_enable(io_, false);
    return ETIMEDOUT;
  }
  return 0;
}

void GensioConnection::PurgeServerInput() {
  if (sio_ && !lost_) sergensio_flush(sio_, SERGENSIO_FLUSH_RCV_BUFFER);
}

}  // namespace platform
