#ifdef _WIN32
// Before OpenSSL's headers, which take back the names wincrypt.h defines.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <wincrypt.h>
#endif

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <climits>
#include <cstring>
#include <vector>

#include "platform/Tls.h"

namespace vexmoor {

namespace {

// The reason text of the newest error in OpenSSL's queue; empties the queue.
std::string QueuedErrorText(unsigned long& code) {
  code = ERR_peek_last_error();
  ERR_clear_error();
  if (code == 0) return "";
  const char* reason = ERR_reason_error_string(code);
  return reason != nullptr ? reason : "error " + std::to_string(ERR_GET_REASON(code));
}

[[noreturn]] void ThrowSetupFailure() {
  unsigned long code = 0;
  const std::string text = QueuedErrorText(code);
  throw TlsError("TLS could not be set up: " + (text.empty() ? "out of memory" : text),
                 static_cast<int>(ERR_GET_REASON(code)));
}

int ClampedSize(size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

#ifdef _WIN32
// Whether Windows lets `certificate` vouch for servers: a root whose usages
// were narrowed in the store (to e-mail or code signing, say) does not.
bool TrustedForServers(PCCERT_CONTEXT certificate) {
  DWORD size = 0;
  if (!::CertGetEnhancedKeyUsage(certificate, CERT_FIND_PROP_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size))
    return ::GetLastError() == static_cast<DWORD>(CRYPT_E_NOT_FOUND);  // not narrowed
  std::vector<unsigned char> buffer(size);
  auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer.data());
  if (!::CertGetEnhancedKeyUsage(certificate, CERT_FIND_PROP_ONLY_ENHKEY_USAGE_FLAG, usage, &size)) return false;
  if (usage->cUsageIdentifier == 0) return ::GetLastError() == static_cast<DWORD>(CRYPT_E_NOT_FOUND);
  for (DWORD i = 0; i < usage->cUsageIdentifier; ++i)
    if (std::strcmp(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_SERVER_AUTH) == 0) return true;
  return false;
}

// Windows keeps the roots it trusts in the system's ROOT store, not in
// files: each one Windows lets vouch for servers joins the context's store.
// A store that cannot be opened adds nothing (the handshake then fails on an
// unknown issuer, as it does with no CA file on other systems).
void AddSystemRoots(SSL_CTX* context) {
  HCERTSTORE store = ::CertOpenSystemStoreW(0, L"ROOT");
  if (store == nullptr) return;
  X509_STORE* trusted = SSL_CTX_get_cert_store(context);
  PCCERT_CONTEXT certificate = nullptr;
  while ((certificate = ::CertEnumCertificatesInStore(store, certificate)) != nullptr) {
    if (!TrustedForServers(certificate)) continue;
    const unsigned char* der = certificate->pbCertEncoded;
    X509* root = d2i_X509(nullptr, &der, static_cast<long>(certificate->cbCertEncoded));
    if (root == nullptr) continue;
    X509_STORE_add_cert(trusted, root);  // a root already there is no failure
    X509_free(root);
  }
  ::CertCloseStore(store, 0);
  ERR_clear_error();
}
#endif

}  // namespace

TlsSession::TlsSession(int fd, const std::string& host, SystemErrorFn systemError)
    : host_(host), systemError_(systemError) {
  ERR_clear_error();
  // A context of its own for every connection reads the CA store, and the
  // variables that name it, as they are now.
  context_ = SSL_CTX_new(TLS_client_method());
  if (context_ == nullptr) ThrowSetupFailure();
  SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
  SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
  // A store that cannot be read trusts nothing: the handshake fails then.
  SSL_CTX_set_default_verify_paths(context_);
#ifdef _WIN32
  AddSystemRoots(context_);
#endif
  SSL_CTX_set_mode(context_, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER | SSL_MODE_ENABLE_PARTIAL_WRITE);
  ssl_ = SSL_new(context_);
  if (ssl_ == nullptr) ThrowSetupFailure();
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
  X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  // A numeric address is checked against the certificate's addresses and
  // never sent as SNI; a name against its names, and sent.
  if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1) {
    ERR_clear_error();
    if (X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) != 1 ||
        SSL_set_tlsext_host_name(ssl_, host.c_str()) != 1) {
      ThrowSetupFailure();
    }
  }
  if (SSL_set_fd(ssl_, fd) != 1) ThrowSetupFailure();
  SSL_set_connect_state(ssl_);
}

TlsSession::~TlsSession() {
  SSL_free(ssl_);
  SSL_CTX_free(context_);
}

TlsWait TlsSession::Handshake() {
  ERR_clear_error();
  const int result = SSL_do_handshake(ssl_);
  if (result == 1) return TlsWait::kNone;
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ:
      return TlsWait::kReadable;
    case SSL_ERROR_WANT_WRITE:
      return TlsWait::kWritable;
    default:
      break;
  }
  const long verified = SSL_get_verify_result(ssl_);
  if (verified != X509_V_OK) {
    ERR_clear_error();
    throw TlsError(std::string("the server's certificate was refused: ") +
                       X509_verify_cert_error_string(verified),
                   static_cast<int>(verified));
  }
  Throw(result, "the TLS handshake");
}

size_t TlsSession::Write(std::string_view data, TlsWait& wait) {
  wait = TlsWait::kNone;
  if (data.empty()) return 0;
  ERR_clear_error();
  const int result = SSL_write(ssl_, data.data(), ClampedSize(data.size()));
  if (result > 0) return static_cast<size_t>(result);
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ:
      wait = TlsWait::kReadable;
      return 0;
    case SSL_ERROR_WANT_WRITE:
      wait = TlsWait::kWritable;
      return 0;
    default:
      Throw(result, "sending");
  }
}

TReceiveResult TlsSession::Read(char* buffer, size_t size, TlsWait& wait) {
  wait = TlsWait::kNone;
  if (size == 0) return {};
  ERR_clear_error();
  const int result = SSL_read(ssl_, buffer, ClampedSize(size));
  if (result > 0) return {static_cast<size_t>(result), false};
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ:
      wait = TlsWait::kReadable;
      return {};
    case SSL_ERROR_WANT_WRITE:
      wait = TlsWait::kWritable;
      return {};
    case SSL_ERROR_ZERO_RETURN:  // the server ended the session
      return {0, true};
    default:
      Throw(result, "receiving");
  }
}

bool TlsSession::Pending() const { return SSL_has_pending(ssl_) == 1; }

void TlsSession::Throw(int result, const char* during) {
  const int kind = SSL_get_error(ssl_, result);
  unsigned long code = 0;
  const std::string text = QueuedErrorText(code);
  if (kind == SSL_ERROR_SSL && ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
    throw TlsError(std::string("the server closed the connection during ") + during +
                       " without ending the TLS session",
                   static_cast<int>(ERR_GET_REASON(code)));
  }
  if (kind == SSL_ERROR_SYSCALL && text.empty()) {
    const SocketError system = systemError_();
    if (system.Code() != 0) throw system;
    throw TlsError(std::string("the server closed the connection during ") + during,
                   static_cast<int>(ERR_GET_REASON(code)));
  }
  throw TlsError(
      std::string("TLS failed during ") + during + ": " + (text.empty() ? "unknown error" : text),
      static_cast<int>(ERR_GET_REASON(code)));
}

}  // namespace vexmoor
