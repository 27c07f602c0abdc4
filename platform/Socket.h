// Connections for the HTTP client: name resolution, a TCP connection, with
// TLS over it when asked, that is made and read without blocking the caller
// for longer than it asks, and the system's error texts. The POSIX
// implementation lives in Socket-posix.cpp, the TLS session on the socket in
// Tls-openssl.cpp; a Winsock one replaces the first and keeps the second.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Errors.h"

namespace vexmoor {

// A socket call failed. The message is the system's text for the error;
// Code() is the system's error number (errno, or the Winsock error code).
class SocketError : public IoError {
 public:
  SocketError(const std::string& text, int code) : IoError(text), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// The host name did not resolve to any address.
class HostNotFoundError : public SocketError {
 public:
  using SocketError::SocketError;
};

// The TLS layer refused or lost the connection: the server's certificate
// is not trusted or names another host, the handshake failed, or the
// stream was cut off or damaged. Code() is OpenSSL's certificate check
// result or its error reason.
class TlsError : public SocketError {
 public:
  using SocketError::SocketError;
};

// How a connection carries its bytes.
enum class Transport { kPlain, kTls };

// The system's "timed out" error, for a wait that the caller gave up.
SocketError SocketTimedOutError();

struct TReceiveResult {
  size_t size = 0;      // bytes placed in the buffer
  bool closed = false;  // the peer closed its side; no more data will come
};

// One outgoing TCP connection, plain or with TLS over it. Not copyable;
// closes itself when destroyed.
class TTcpSocket {
 public:
  TTcpSocket();
  ~TTcpSocket();
  TTcpSocket(const TTcpSocket&) = delete;
  TTcpSocket& operator=(const TTcpSocket&) = delete;

  // Starts resolving `host` (a name or a numeric address) and connecting to
  // `port` on its first address, without waiting for either. Closes any
  // earlier connection first. Throws SocketError. With Transport::kTls the
  // connection is up only after a TLS handshake in which the server proved
  // to be `host` with a certificate the system's CA store trusts (see
  // TlsSession); every byte then goes through TLS.
  void StartConnect(const std::string& host, uint16_t port,
                    Transport transport = Transport::kPlain);
  // Waits at most `timeoutMs` for the name look-up, the connection and the
  // TLS handshake that StartConnect began. Returns true once it is up, false
  // while it is still pending. Throws HostNotFoundError when the name does
  // not resolve. When an address refuses, the host's next address is tried;
  // throws SocketError with the last address's error when none is left, and
  // TlsError when the handshake fails.
  bool WaitConnected(int timeoutMs);

  // Sends every byte of `data`, waiting at most `timeoutMs` at a time for
  // room in the send buffer. Throws SocketError (a time-out included).
  void SendAll(std::string_view data, int timeoutMs);
  // Waits at most `timeoutMs` until data or the peer's close has arrived.
  bool WaitReadable(int timeoutMs);
  // Takes what has arrived, up to `size` bytes, without waiting. Throws
  // SocketError when the connection failed (a reset, for example).
  TReceiveResult Receive(char* buffer, size_t size);

  void Close();
  bool IsOpen() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vexmoor
