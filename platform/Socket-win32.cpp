// TCP connections through Winsock. The same shape as the POSIX half: a name
// look-up on a thread of its own, a non-blocking connect to each address in
// turn, and waits through select(). Errors carry the errno value of the
// Winsock code, so both halves report the same numbers and texts.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>
#include <vector>

#include "platform/File.h"
#include "platform/LongPath-win32.h"
#include "platform/NameLookup.h"
#include "platform/Socket.h"
#include "platform/Tls.h"

namespace vexmoor {

namespace {

// Winsock is started once for the process and stays up until it ends.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

SocketError ErrorFromErrno(int error) { return SocketError(SystemErrorText(error), error); }
SocketError LastSocketError() { return ErrorFromErrno(ErrnoFromWin32(static_cast<DWORD>(::WSAGetLastError()))); }

int MsLeft(std::chrono::steady_clock::time_point start, int timeoutMs) {
  const auto spent =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  return std::max(0, timeoutMs - static_cast<int>(spent.count()));
}

// Waits until `socket` is writable (write) or readable; true when it is,
// false on time-out. A failed connect shows in the exception set.
bool WaitFor(SOCKET socket, bool write, int timeoutMs) {
  fd_set wanted, failed;
  FD_ZERO(&wanted);
  FD_ZERO(&failed);
  FD_SET(socket, &wanted);
  FD_SET(socket, &failed);
  timeval limit{};
  timeoutMs = std::max(0, timeoutMs);
  limit.tv_sec = timeoutMs / 1000;
  limit.tv_usec = (timeoutMs % 1000) * 1000;
  const int ready = ::select(0, write ? nullptr : &wanted, write ? &wanted : nullptr, &failed, &limit);
  if (ready == SOCKET_ERROR) throw LastSocketError();
  return ready > 0;
}

}  // namespace

SocketError SocketTimedOutError() { return ErrorFromErrno(ETIMEDOUT); }

struct TTcpSocket::Impl {
  SOCKET socket = INVALID_SOCKET;
  bool tcpConnected = false;
  bool connected = false;  // and, for TLS, the handshake done
  Transport transport = Transport::kPlain;
  std::string host;
  std::unique_ptr<TlsSession> tls;
  TlsWait readWait = TlsWait::kReadable;  // what the session's last read waits for
  std::shared_ptr<TNameLookup> lookup;
  std::vector<TResolvedAddress> addresses;
  size_t next = 0;
  int lastError = 0;  // an errno value

  void CloseSocket() {
    tls.reset();
    readWait = TlsWait::kReadable;
    if (socket != INVALID_SOCKET) ::closesocket(socket);
    socket = INVALID_SOCKET;
    tcpConnected = connected = false;
  }

  // Takes the TLS handshake on as far as `timeoutMs` allows. OpenSSL takes
  // a Winsock socket as its descriptor; Winsock raises no SIGPIPE.
  bool Handshake(int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    if (!tls) tls = std::make_unique<TlsSession>(static_cast<int>(socket), host, LastSocketError);
    for (;;) {
      const TlsWait wait = tls->Handshake();
      if (wait == TlsWait::kNone) return connected = true;
      if (!WaitFor(socket, wait == TlsWait::kWritable, MsLeft(start, timeoutMs))) return false;
    }
  }

  bool ConnectNext() {
    while (next < addresses.size()) {
      const TResolvedAddress& address = addresses[next++];
      CloseSocket();
      socket = ::WSASocketW(address.Family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
      if (socket == INVALID_SOCKET) {
        lastError = ErrnoFromWin32(static_cast<DWORD>(::WSAGetLastError()));
        continue;
      }
      u_long nonBlocking = 1;
      ::ioctlsocket(socket, FIONBIO, &nonBlocking);
      const BOOL one = TRUE;
      ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
      const auto* raw = reinterpret_cast<const sockaddr*>(address.Bytes.data());
      if (::connect(socket, raw, static_cast<int>(address.Bytes.size())) == 0) return true;
      const int error = ::WSAGetLastError();
      if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) return true;
      lastError = ErrnoFromWin32(static_cast<DWORD>(error));
    }
    CloseSocket();
    return false;
  }
};

TTcpSocket::TTcpSocket() : impl_(std::make_unique<Impl>()) { StartWinsock(); }

TTcpSocket::~TTcpSocket() { impl_->CloseSocket(); }

void TTcpSocket::StartConnect(const std::string& host, uint16_t port, Transport transport) {
  Close();
  impl_->transport = transport;
  impl_->host = host;
  impl_->lookup.reset();
  impl_->addresses.clear();
  impl_->next = 0;
  impl_->lastError = ECONNREFUSED;
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
  if (impl_->socket == INVALID_SOCKET) throw ErrorFromErrno(ENOTCONN);
  if (!impl_->tcpConnected) {
    if (!WaitFor(impl_->socket, true, MsLeft(start, timeoutMs))) return false;
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(impl_->socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
      error = ::WSAGetLastError();
    if (error != 0) {
      impl_->lastError = ErrnoFromWin32(static_cast<DWORD>(error));
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
      data.remove_prefix(impl_->tls->Write(data, wait));
      if (wait != TlsWait::kNone && !WaitFor(impl_->socket, wait == TlsWait::kWritable, timeoutMs))
        throw SocketTimedOutError();
    }
    return;
  }
  while (!data.empty()) {
    const int ask = static_cast<int>(std::min<size_t>(data.size(), 1 << 30));
    const int sent = ::send(impl_->socket, data.data(), ask, 0);
    if (sent > 0) {
      data.remove_prefix(static_cast<size_t>(sent));
    } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
      if (!WaitFor(impl_->socket, true, timeoutMs)) throw SocketTimedOutError();
    } else {
      throw LastSocketError();
    }
  }
}

bool TTcpSocket::WaitReadable(int timeoutMs) {
  if (impl_->socket == INVALID_SOCKET) throw ErrorFromErrno(ENOTCONN);
  if (impl_->tls) {
    if (impl_->tls->Pending()) return true;
    return WaitFor(impl_->socket, impl_->readWait == TlsWait::kWritable, timeoutMs);
  }
  return WaitFor(impl_->socket, false, timeoutMs);
}

TReceiveResult TTcpSocket::Receive(char* buffer, size_t size) {
  if (impl_->socket == INVALID_SOCKET) throw ErrorFromErrno(ENOTCONN);
  if (impl_->tls) {
    TlsWait wait = TlsWait::kNone;
    const TReceiveResult got = impl_->tls->Read(buffer, size, wait);
    impl_->readWait = wait == TlsWait::kNone ? TlsWait::kReadable : wait;
    return got;
  }
  const int ask = static_cast<int>(std::min<size_t>(size, 1 << 30));
  const int got = ::recv(impl_->socket, buffer, ask, 0);
  if (got > 0) return {static_cast<size_t>(got), false};
  if (got == 0) return {0, size > 0};
  if (::WSAGetLastError() == WSAEWOULDBLOCK) return {0, false};
  throw LastSocketError();
}

void TTcpSocket::Close() {
  impl_->CloseSocket();
  impl_->lookup.reset();
}

bool TTcpSocket::IsOpen() const { return impl_->socket != INVALID_SOCKET; }

}  // namespace vexmoor
