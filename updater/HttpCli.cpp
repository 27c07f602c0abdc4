#include "updater/HttpCli.h"

#include <algorithm>
#include <exception>

#include "platform/Socket.h"

namespace vexmoor {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReceiveBlock = 64 * 1024;
// A client-side failure sets this status, as a missing resource would.
constexpr int kFailureStatus = 404;

std::string SocketErrorText(const SocketError& error) {
  return std::string(error.what()) + " (Error #" + std::to_string(error.Code()) + ")";
}

[[noreturn]] void Fail(const std::string& reason) { throw EHttpException(reason); }

std::string ConnectionKey(const THttpUrl& url) {
  return url.scheme + "://" + url.host + ":" + std::to_string(url.port);
}

std::string HostPortText(const THttpUrl& url) {
  const std::string host =
      url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
  return host + ":" + std::to_string(url.port);
}

std::string AmountText(size_t bytes) {
  if (bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string DurationText(std::chrono::milliseconds time) {
  if (time.count() % 1000 == 0) return std::to_string(time.count() / 1000) + " s";
  return std::to_string(time.count()) + " ms";
}

// The low-speed limit over one response: a period starts when the request
// is sent and again whenever the bytes of the limit have arrived; a period
// that runs out before they did fails the request.
class TSpeedCheck {
 public:
  TSpeedCheck(size_t bytes, std::chrono::milliseconds period)
      : bytes_(bytes), period_(period), start_(Clock::now()) {}

  void Add(size_t size) {
    received_ += size;
    if (received_ < bytes_) return;
    received_ = 0;
    start_ = Clock::now();
  }
  bool TooSlow() const { return bytes_ > 0 && Clock::now() - start_ >= period_; }
  // The longest wait before TooSlow must be asked again.
  std::chrono::milliseconds Left() const {
    if (bytes_ == 0) return std::chrono::milliseconds::max();
    return period_ - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_);
  }

 private:
  size_t bytes_;
  std::chrono::milliseconds period_;
  Clock::time_point start_;
  size_t received_ = 0;
};

// Clears the busy flag however Get ends.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

}  // namespace

THttpCli::THttpCli() : socket_(std::make_unique<TTcpSocket>()), buffer_(kReceiveBlock, '\0') {}

THttpCli::~THttpCli() = default;

void THttpCli::Get() {
  if (busy_) throw EHttpException("HTTP component is busy");
  BusyScope busy(busy_);
  statusCode_ = 0;
  reasonPhrase_.clear();
  header_ = THttpResponseHeader{};
  try {
    Request(SplitHttpUrl(url_));
  } catch (const EHttpException& failure) {
    socket_->Close();
    statusCode_ = kFailureStatus;
    reasonPhrase_ = failure.what();
    throw EHttpException(reasonPhrase_);
  } catch (const std::exception& failure) {
    // A failing sink or event handler: the connection is in an unknown state.
    socket_->Close();
    statusCode_ = kFailureStatus;
    reasonPhrase_ = failure.what();
    throw;
  } catch (...) {
    socket_->Close();
    statusCode_ = kFailureStatus;
    throw;
  }
  statusCode_ = header_.statusCode;
  reasonPhrase_ = header_.reasonPhrase;
  if (statusCode_ >= 402) throw EHttpException(reasonPhrase_, statusCode_);
}

void THttpCli::Request(THttpUrl url) {
  for (int redirects = 0;; ++redirects) {
    CheckAbort();
    Exchange(url);
    if (header_.location.empty()) return;
    if (redirects == kMaxRedirects) {
      Fail("Too many redirections (more than " + std::to_string(kMaxRedirects) + ")");
    }
    url = ResolveLocation(url, header_.location);
  }
}

// One request and its response.
void THttpCli::Exchange(const THttpUrl& url) {
  const std::string request = BuildHttpRequest(url);
  bool reused = ReuseConnection(url);
  if (!reused) Connect(url);
  for (;;) {
    redirectBodyBytes_ = 0;
    const THttpResponseParser* current = nullptr;
    THttpResponseParser parser(
        [this, &current](const char* data, size_t size) { OnBody(*current, data, size); });
    current = &parser;
    if (TryExchange(url, request, reused, parser)) {
      header_ = parser.Header();
      return;
    }
    // The server had closed the connection it kept before our request came.
    reused = false;
    Connect(url);
  }
}

// Returns false when a reused connection turned out to be closed before any
// byte of the response came; the request is then sent on a new connection.
bool THttpCli::TryExchange(const THttpUrl& url, const std::string& request, bool reused,
                           THttpResponseParser& parser) {
  try {
    socket_->SendAll(request, static_cast<int>(std::max(idleTimeout_, kWaitSlice).count()));
    return ReadResponse(url, reused, parser);
  } catch (const SocketError& error) {
    if (reused && !parser.ReceivedAnything()) return false;
    Fail(SocketErrorText(error));
  }
}

bool THttpCli::ReadResponse(const THttpUrl& url, bool reused, THttpResponseParser& parser) {
  Clock::time_point lastData = Clock::now();
  TSpeedCheck speed(lowSpeedBytes_, lowSpeedTime_);
  bool closed = false, surplus = false;
  while (!parser.Complete()) {
    CheckAbort();
    if (IdleTooLong(lastData)) Fail(SocketErrorText(SocketTimedOutError()));
    if (speed.TooSlow()) {
      Fail(HttpUrlText(url) + ": the transfer is too slow: less than " +
           AmountText(lowSpeedBytes_) + " in " + DurationText(lowSpeedTime_));
    }
    if (socket_->WaitReadable(NextWaitMs(lastData, speed.Left()))) {
      const TReceiveResult got = socket_->Receive(buffer_.data(), buffer_.size());
      if (got.closed) {
        if (reused && !parser.ReceivedAnything()) return false;
        closed = true;
        parser.FeedEnd();
      } else if (got.size > 0) {
        lastData = Clock::now();
        speed.Add(got.size);
        surplus = parser.Feed(buffer_.data(), got.size) < got.size;
      }
    }
    Pump();
  }
  // Bytes after the response answer no request of ours: start afresh.
  if (closed || surplus || !parser.ConnectionReusable()) {
    socket_->Close();
    connectedTo_.clear();
  }
  return true;
}

bool THttpCli::ReuseConnection(const THttpUrl& url) {
  if (!socket_->IsOpen() || connectedTo_ != ConnectionKey(url)) return false;
  try {
    // Data or a close on an idle connection: the server has given it up.
    if (!socket_->WaitReadable(0)) return true;
  } catch (const SocketError&) {
  }
  socket_->Close();
  connectedTo_.clear();
  return false;
}

void THttpCli::Connect(const THttpUrl& url) {
  connectedTo_.clear();
  const Clock::time_point start = Clock::now();
  try {
    socket_->StartConnect(url.host, url.port,
                          url.scheme == "https" ? Transport::kTls : Transport::kPlain);
    for (;;) {
      CheckAbort();
      if (IdleTooLong(start)) Fail("can't connect: " + SocketErrorText(SocketTimedOutError()));
      if (socket_->WaitConnected(NextWaitMs(start, idleTimeout_))) break;
      Pump();
    }
  } catch (const HostNotFoundError&) {
    Fail("can't resolve hostname to IP address");
  } catch (const TlsError& error) {
    Fail("can't connect securely to " + HostPortText(url) + ": " + SocketErrorText(error));
  } catch (const SocketError& error) {
    Fail("can't connect: " + SocketErrorText(error));
  }
  connectedTo_ = ConnectionKey(url);
}

// Every response with a location is a redirect that Request follows, so its
// body is never the one the caller asked for.
void THttpCli::OnBody(const THttpResponseParser& parser, const char* data, size_t size) {
  if (parser.Header().location.empty()) {
    if (rcvdStream_ != nullptr) rcvdStream_->append(data, size);
    if (rcvdSink_) rcvdSink_(data, size);
  } else {
    redirectBodyBytes_ += size;
    if (redirectBodyBytes_ > kMaxRedirectBodySize) {
      Fail("Redirect response body too long (more than " + AmountText(kMaxRedirectBodySize) + ")");
    }
  }
  if (onDocData_) onDocData_(*this, data, size);
}

// The wait until the idle time-out from `since`, `limit` or the wait slice,
// whichever ends first.
int THttpCli::NextWaitMs(Clock::time_point since, std::chrono::milliseconds limit) const {
  const auto idleLeft =
      idleTimeout_ - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
  const auto left = std::min({idleLeft, limit, waitSlice_});
  return static_cast<int>(std::max(left, std::chrono::milliseconds(0)).count());
}

bool THttpCli::IdleTooLong(Clock::time_point since) const {
  return Clock::now() - since >= idleTimeout_;
}

void THttpCli::CheckAbort() const {
  if (abort_) Fail("Connection aborted on request");
}

void THttpCli::Pump() {
  if (onPump_) onPump_();
}

}  // namespace vexmoor
