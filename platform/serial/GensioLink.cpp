#include "platform/serial/GensioLink.h"

#include <errno.h>
#include <gensio/gensio.h>
#include <gensio/gensio_err.h>
#include <gensio/gensio_os_funcs_public.h>
#include <gensio/sergensio.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>

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

bool Quotable(const std::string& path) {
  return std::none_of(path.begin(), path.end(), [](char c) {
    return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
  });
}

}  // namespace

struct GensioLink::Request {
  bool answered = false;
  int error = 0;
  unsigned value = 0;
};

int64_t GensioLink::NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

GensioLink::GensioLink() = default;

GensioLink::~GensioLink() {
  CloseBounded();
}

void GensioLink::CloseBounded() {
  if (!io_) return;
  if (gensio_close(io_, &GensioLink::OnClosed, this) == 0) {
    const int64_t until = NowUs() + kCloseBoundUs;
    while (!closed_ && NowUs() < until) Pump(until);
  }
  gensio_free(io_);
  io_ = nullptr;
  sio_ = nullptr;
}

void GensioLink::Pump(int64_t untilUs) {
  int64_t left = std::max<int64_t>(untilUs - NowUs(), 0);
  gensio_time t{left / 1000000, static_cast<int32_t>((left % 1000000) * 1000)};
  gensio_os_funcs_service(os_, &t);
}

int GensioLink::Connect(const NetworkPortName& name, const std::string& caFile, int64_t untilUs,
                        std::string* why) {
  const std::string endpoint = name.Endpoint();
  int error = 0;
  os_ = EventLoop(&error);
  if (!os_) {
    *why = "the network library could not start (" + std::string(gensio_err_to_str(error)) + ")";
    return EIO;
  }
  std::string stack = "telnet(rfc2217),";
  if (name.tls) {
    if (!caFile.empty() && !Quotable(caFile)) {
      *why = "QELM_TLS_CA names a file whose name cannot be passed on (quote or backslash)";
      return EINVAL;
    }
    stack += caFile.empty() ? "ssl," : "ssl(CA=\"" + caFile + "\"),";
  }
  // Without Nagle's delay: a command line goes out as the radio expects it, in one piece, and
  // its CR and LF (written byte by byte) do not wait for the server's acknowledgement.
  stack += "tcp(nodelay)," + name.host + "," + name.port;
  if (int r = str_to_gensio(stack.c_str(), os_, &GensioLink::OnEvent, this, &io_); r != 0) {
    io_ = nullptr;
    *why = endpoint + ": " + gensio_err_to_str(r);
    return EINVAL;
  }
  if (int r = gensio_open(io_, &GensioLink::OnOpen, this); r != 0) {
    *why = endpoint + ": " + gensio_err_to_str(r);
    return ErrnoFor(r);
  }
  while (openResult_ < 0 && NowUs() < untilUs) Pump(untilUs);
  if (openResult_ < 0) {
    *why = "no answer from " + endpoint + " in time";
    return ETIMEDOUT;
  }
  if (openResult_ != 0) {
    int e = ErrnoFor(openResult_);
    const std::string text = gensio_err_to_str(openResult_);
    if (e == EACCES)
      *why = "the certificate of " + endpoint + " was refused: " + text;
    else
      *why = endpoint + ": " + text;
    return e;
  }
  gensio_set_read_callback_enable(io_, true);
  sio_ = gensio_to_sergensio(io_);
  // The server must speak the COM port option, or no rate could ever be set: ask for the rate.
  LineValue ask{Setting::kBaud, 0, 0};
  int r = sio_ ? SetLines(&ask, 1, untilUs) : ENOTSUP;
  if (r == ETIMEDOUT) {
    *why = "no answer from " + endpoint + " in time";
    return ETIMEDOUT;
  }
  if (r != 0) {
    *why = endpoint + " does not offer the telnet COM port option (RFC 2217)";
    return EPROTO;
  }
  serverRate_ = ask.applied;
  return 0;
}

void GensioLink::OnOpen(gensio*, int err, void* self) {
  static_cast<GensioLink*>(self)->openResult_ = err;
}

void GensioLink::OnClosed(gensio*, void* self) {
  static_cast<GensioLink*>(self)->closed_ = true;
}

int GensioLink::OnEvent(gensio* io, void* self, int event, int err, unsigned char* buf,
                        unsigned long* len, const char* const*) {
  auto* link = static_cast<GensioLink*>(self);
  switch (event) {
    case GENSIO_EVENT_READ:
      if (err) {
        // The server closed, or the network dropped the connection: the line has vanished.
        link->lost_ = true;
        gensio_set_read_callback_enable(io, false);
        return 0;
      } else {
        size_t room = kMaxQueued - std::min(kMaxQueued, link->in_.size());
        size_t take = std::min<size_t>(room, *len);
        link->in_.append(reinterpret_cast<const char*>(buf), take);
        link->overflowed_ += static_cast<int64_t>(*len - take);
      }
      return 0;
    case GENSIO_EVENT_WRITE_READY:
      link->writeReady_ = true;
      gensio_set_write_callback_enable(io, false);
      return 0;
    default:
      return GE_NOTSUP;
  }
}

int64_t GensioLink::Offer(const unsigned char* data, size_t n) {
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

int GensioLink::SetLines(LineValue* values, size_t count, int64_t untilUs) {
  if (lost_ || !sio_) return EIO;
  std::vector<Request*> asked;
  auto done = [](sergensio*, int err, unsigned val, void* data) {
    auto* request = static_cast<Request*>(data);
    request->answered = true;
    request->error = err;
    request->value = val;
  };
  for (size_t i = 0; i < count; ++i) {
    requests_.push_back(std::make_unique<Request>());
    Request* request = requests_.back().get();
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

void GensioLink::PurgeServerInput() {
  if (sio_ && !lost_) sergensio_flush(sio_, SERGENSIO_FLUSH_RCV_BUFFER);
}

}  // namespace platform
