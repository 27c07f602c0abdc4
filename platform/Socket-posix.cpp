#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/File.h"
#include "platform/NameLookup.h"
#include "platform/Socket.h"
#include "platform/Tls.h"

namespace vexmoor {

namespace {

SocketError ErrorFromErrno(int error) { return SocketError(SystemErrorText(error), error); }

SocketError LastSocketError() { return ErrorFromErrno(errno); }

// OpenSSL writes to the socket with write(), which raises SIGPIPE (ending
// the program) when the server has gone; plain sends use MSG_NOSIGNAL. While
// it lives, SIGPIPE is blocked on this thread, and one raised meanwhile is
// taken back before it is unblocked.
class SigPipeGuard {
 public:
  SigPipeGuard() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    ::pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
  }
  ~SigPipeGuard() {
    if (!pendingBefore_) {
      sigset_t pending;
      sigpending(&pending);
      const timespec now{};
      if (sigismember(&pending, SIGPIPE) == 1) ::sigtimedwait(&pipe_, nullptr, &now);
    }
    ::pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  SigPipeGuard(const SigPipeGuard&) = delete;
  SigPipeGuard& operator=(const SigPipeGuard&) = delete;

 private:
  sigset_t pipe_{}, old_{};
  bool pendingBefore_ = false;
};

short EventsFor(TlsWait wait) { return wait == TlsWait::kWritable ? POLLOUT : POLLIN; }

int MsLeft(std::chrono::steady_clock::time_point start, int timeoutMs) {
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  return std::max(0, timeoutMs - static_cast<int>(spent.count()));
}

// Waits for `events` on `fd`; returns the events seen, 0 on time-out.
short PollOne(int fd, short events, int timeoutMs) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const int ready = ::poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready > 0) return entry.revents;
    if (ready == 0) return 0;
    if (errno != EINTR) throw ErrorFromErrno(errno);
  }
}

}  // namespace

SocketError SocketTimedOutError() { return ErrorFromErrno(ETIMEDOUT); }

struct TTcpSocket::Impl {
  int fd = -1;
  bool tcpConnected = false;
  bool connected = false;  // and, for TLS, the handshake done
  Transport transport = Transport::kPlain;
  std::string host;
  std::unique_ptr<TlsSession> tls;
  TlsWait readWait = TlsWait::kReadable;  // what the session's last read waits for
  std::shared_ptr<TNameLookup> lookup;  // a name look-up still running
  std::vector<TResolvedAddress> addresses;
  size_t next = 0;  // the address to try after the current one
  int lastError = 0;

  void CloseFd() {
    tls.reset();
    readWait = TlsWait::kReadable;
    if (fd >= 0) ::close(fd);
    fd = -1;
    tcpConnected = connected = false;
  }

  // Takes the TLS handshake on as far as `timeoutMs` allows.
  bool Handshake(int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    if (!tls) tls = std::make_unique<TlsSession>(fd, host, LastSocketError);
    for (;;) {
      const TlsWait wait = [this] {
        const SigPipeGuard guard;
        return tls->Handshake();
      }();
      if (wait == TlsWait::kNone) return connected = true;
      if (PollOne(fd, EventsFor(wait), MsLeft(start, timeoutMs)) == 0) return false;
    }
  }

  // Starts connecting to the next untried address; false when none is left.
  bool ConnectNext() {
    while (next < addresses.size()) {
      const TResolvedAddress& address = addresses[next++];
      CloseFd();
      fd = ::socket(address.Family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
      if (fd < 0) {
        lastError = errno;
        continue;
      }
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      const auto* raw = reinterpret_cast<const sockaddr*>(address.Bytes.data());
      if (::connect(fd, raw, static_cast<socklen_t>(address.Bytes.size())) == 0 ||
          errno == EINPROGRESS || errno == EINTR) {
        return true;
      }
      lastError = errno;
    }
    CloseFd();
    return false;
  }
};

TTcpSocket::TTcpSocket() : impl_(std::make_unique<Impl>()) {}

TTcpSocket::~TTcpSocket() { impl_->CloseFd(); }

void TTcpSocket::StartConnect(const std::string& host, uint16_t port, Transport transport) {
  Close();
  impl_->transport = transport;
  impl_->host = host;
  impl_->lookup.reset();
  impl_->addresses.clear();
  impl_->next = 0;
  impl_->lastError = ECONNREFUSED;
  // A numeric address needs no name server and no thread.
  if (!ResolveNumeric(host, port, impl_->addresses)) {
    impl_->lookup = StartNameLookup(host, port);
    return;
  }
  if (!impl_->ConnectNext()) throw ErrorFromErrno(impl_->lastError);
}

bool TTcpSocket::WaitConnected(int timeoutMs) {
  if (impl_->connected) return true;
  const auto start = std::chrono::steady_clock::now();
  if (impl_->lookup) {
    if (!FinishNameLookup(impl_->lookup, timeoutMs, impl_->addresses)) return false;
    if (!impl_->ConnectNext()) throw ErrorFromErrno(impl_->lastError);
  }
  if (impl_->fd < 0) throw ErrorFromErrno(ENOTCONN);
  if (!impl_->tcpConnected) {
    if (PollOne(impl_->fd, POLLOUT, MsLeft(start, timeoutMs)) == 0) return false;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(impl_->fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) {
      impl_->lastError = error;
      if (!impl_->ConnectNext()) throw ErrorFromErrno(impl_->lastError);
      return false;
    }
    impl_->tcpConnected = true;
  }
  if (impl_->transport == Transport::kPlain) return impl_->connected = true;
  // A failed handshake is the server's answer, not a reason to try another
  // address.
  return impl_->Handshake(MsLeft(start, timeoutMs));
}

void TTcpSocket::SendAll(std::string_view data, int timeoutMs) {
  if (!impl_->connected) throw ErrorFromErrno(ENOTCONN);
  if (impl_->tls) {
    while (!data.empty()) {
      TlsWait wait = TlsWait::kNone;
      {
        const SigPipeGuard guard;
        data.remove_prefix(impl_->tls->Write(data, wait));
      }
      if (wait != TlsWait::kNone && PollOne(impl_->fd, EventsFor(wait), timeoutMs) == 0) {
        throw SocketTimedOutError();
      }
    }
    return;
  }
  while (!data.empty()) {
    const ssize_t sent = ::send(impl_->fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      data.remove_prefix(static_cast<size_t>(sent));
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (PollOne(impl_->fd, POLLOUT, timeoutMs) == 0) throw SocketTimedOutError();
    } else if (errno != EINTR) {
      throw ErrorFromErrno(errno);
    }
  }
}

bool TTcpSocket::WaitReadable(int timeoutMs) {
  if (impl_->fd < 0) throw ErrorFromErrno(ENOTCONN);
  if (impl_->tls) {
    if (impl_->tls->Pending()) return true;
    return PollOne(impl_->fd, EventsFor(impl_->readWait), timeoutMs) != 0;
  }
  return PollOne(impl_->fd, POLLIN, timeoutMs) != 0;
}

TReceiveResult TTcpSocket::Receive(char* buffer, size_t size) {
  if (impl_->fd < 0) throw ErrorFromErrno(ENOTCONN);
  if (impl_->tls) {
    TlsWait wait = TlsWait::kNone;
    const SigPipeGuard guard;  // a read may answer the server, too
    const TReceiveResult got = impl_->tls->Read(buffer, size, wait);
    impl_->readWait = wait == TlsWait::kNone ? TlsWait::kReadable : wait;
    return got;
  }
  for (;;) {
    const ssize_t got = ::recv(impl_->fd, buffer, size, 0);
    if (got > 0) return {static_cast<size_t>(got), false};
    if (got == 0) return {0, size > 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {0, false};
    if (errno != EINTR) throw ErrorFromErrno(errno);
  }
}

void TTcpSocket::Close() {
  impl_->CloseFd();
  impl_->lookup.reset();
}

bool TTcpSocket::IsOpen() const { return impl_->fd >= 0; }

}  // namespace vexmoor
