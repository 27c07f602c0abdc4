#include "updater/HttpCli.h"

#include <algorithm>

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

THttpCli::THttpCli() : socket_(std::make_unique<TcpSocket>()), buffer_(kReceiveBlock, '\0') {}

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
  } catch (...) {  // a failing event handler: the connection is in an unknown state
    socket_->Close();
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

// One request and its response. A redirect response's body leaves the
// RcvdStream again once it is complete.
void THttpCli::Exchange(const THttpUrl& url) {
  const std::string request = BuildHttpRequest(url);
  bool reused = ReuseConnection(url);
  if (!reused) Connect(url);
  for (;;) {
    THttpResponseParser parser([this](const char* data, size_t size) { OnBody(data, size); });
    if (TryExchange(request, reused, parser)) {
      header_ = parser.Header();
      if (!header_.location.empty() && rcvdStream_ != nullptr) {
        const auto bodySize = static_cast<size_t>(parser.BodyBytes());
        rcvdStream_->resize(rcvdStream_->size() - std::min(bodySize, rcvdStream_->size()));
      }
      return;
    }
    // The server had closed the connection it kept before our request came.
    reused = false;
    Connect(url);
  }
}

// Returns false when a reused connection turned out to be closed before any
// byte of the response came; the request is then sent on a new connection.
bool THttpCli::TryExchange(const std::string& request, bool reused, THttpResponseParser& parser) {
  try {
    socket_->SendAll(request, static_cast<int>(std::max(idleTimeout_, kWaitSlice).count()));
    return ReadResponse(reused, parser);
  } catch (const SocketError& error) {
    if (reused && !parser.ReceivedAnything()) return false;
    Fail(SocketErrorText(error));
  }
}

bool THttpCli::ReadResponse(bool reused, THttpResponseParser& parser) {
  Clock::time_point lastData = Clock::now();
  bool closed = false, surplus = false;
  while (!parser.Complete()) {
    CheckAbort();
    if (IdleTooLong(lastData)) Fail(SocketErrorText(SocketTimedOutError()));
    if (socket_->WaitReadable(NextWaitMs(lastData))) {
      const ReceiveResult got = socket_->Receive(buffer_.data(), buffer_.size());
      if (got.closed) {
        if (reused && !parser.ReceivedAnything()) return false;
        closed = true;
        parser.FeedEnd();
      } else if (got.size > 0) {
        lastData = Clock::now();
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
    socket_->StartConnect(url.host, url.port);
    for (;;) {
      CheckAbort();
      if (IdleTooLong(start)) Fail("can't connect: " + SocketErrorText(SocketTimedOutError()));
      if (socket_->WaitConnected(NextWaitMs(start))) break;
      Pump();
    }
  } catch (const HostNotFoundError&) {
    Fail("can't resolve hostname to IP address");
  } catch (const SocketError& error) {
    Fail("can't connect: " + SocketErrorText(error));
  }
  connectedTo_ = ConnectionKey(url);
}

void THttpCli::OnBody(const char* data, size_t size) {
  if (rcvdStream_ != nullptr) rcvdStream_->append(data, size);
  if (onDocData_) onDocData_(*this, data, size);
}

int THttpCli::NextWaitMs(Clock::time_point since) const {
  const auto left =
      idleTimeout_ - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
  return static_cast<int>(std::clamp(left, std::chrono::milliseconds(0), waitSlice_).count());
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
