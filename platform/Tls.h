// TLS over a connected, non-blocking socket, through OpenSSL. Only the
// socket implementations (Socket-posix.cpp, and a Winsock one) use it: they
// own the socket and its waits, this owns the TLS session on it. Every call
// returns at once; one that must wait first says for what.
#pragma once

#include <openssl/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Socket.h"

namespace vexmoor {

// What a TLS call needs before it can go on.
enum class TlsWait { kNone, kReadable, kWritable };

class TlsSession {
 public:
  // The platform's last socket error, for a TLS call that failed in the
  // system (errno, or WSAGetLastError).
  using SystemErrorFn = SocketError (*)();

  // Sets up a client session on the connected socket `fd` for `host` (a
  // name or a numeric address): the server's certificate must chain to the
  // system's CA store (SSL_CERT_FILE and SSL_CERT_DIR are honoured; on
  // Windows the ROOT certificate store counts too) and name `host`; a name
  // is also sent as SNI; TLS 1.2 is the least accepted. Throws TlsError.
  TlsSession(int fd, const std::string& host, SystemErrorFn systemError);
  ~TlsSession();
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  // Takes the handshake as far as it goes without waiting; kNone once it is
  // complete. Throws TlsError when it fails (an untrusted certificate, a
  // name that does not match, no common protocol).
  TlsWait Handshake();
  // Writes from `data`; returns the bytes taken, 0 with `wait` set when
  // nothing could be. Throws SocketError.
  size_t Write(std::string_view data, TlsWait& wait);
  // Reads decrypted bytes; `wait` is set when none could be read yet.
  // `closed` once the server ended the session. Throws SocketError, and
  // TlsError for a close without the end of the session (a cut-off stream).
  TReceiveResult Read(char* buffer, size_t size, TlsWait& wait);
  // True when bytes wait inside the session that no socket wait would show.
  bool Pending() const;

 private:
  [[noreturn]] void Throw(int result, const char* during);

  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
  std::string host_;
  SystemErrorFn systemError_;
};

}  // namespace vexmoor
