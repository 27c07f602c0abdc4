// https on Windows trusts the roots of the system's ROOT certificate store:
// a server whose certificate is no root there is refused, and accepted once
// it is one. The server is a TLS server of the test's own on loopback.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Socket.h"
#include "support/TempDir.h"

namespace vexmoor {
namespace {

// Adding a root to the store asks the user on Windows itself; wine does not.
bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A self-signed certificate for 127.0.0.1 and its key.
struct TTestIdentity {
  TTestIdentity() {
    key = EVP_EC_gen("P-256");
    certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), static_cast<long>(::GetTickCount64() & 0x7fffffff));
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Vexmoor test root"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    X509V3_CTX context;
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    for (const auto& [nid, value] : {std::pair{NID_basic_constraints, "critical,CA:TRUE"},
                                     std::pair{NID_subject_alt_name, "IP:127.0.0.1"}}) {
      X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
      X509_add_ext(certificate, extension, -1);
      X509_EXTENSION_free(extension);
    }
    X509_sign(certificate, key, EVP_sha256());
  }
  ~TTestIdentity() {
    X509_free(certificate);
    EVP_PKEY_free(key);
  }
  std::vector<unsigned char> Der() const {
    std::vector<unsigned char> der(static_cast<size_t>(i2d_X509(certificate, nullptr)));
    unsigned char* at = der.data();
    i2d_X509(certificate, &at);
    return der;
  }
  EVP_PKEY* key = nullptr;
  X509* certificate = nullptr;
};

// Serves one TLS handshake per connection on 127.0.0.1 until it ends.
class TTlsServer {
 public:
  explicit TTlsServer(const TTestIdentity& identity) {
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
    context_ = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(context_, identity.certificate);
    SSL_CTX_use_PrivateKey(context_, identity.key);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    ::listen(listener_, 4);
    thread_ = std::thread([this] {
      for (;;) {
        const SOCKET client = ::accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;  // the listener was closed
        SSL* ssl = SSL_new(context_);
        SSL_set_fd(ssl, static_cast<int>(client));
        if (SSL_accept(ssl) == 1) SSL_shutdown(ssl);
        SSL_free(ssl);
        ::closesocket(client);
      }
    });
  }
  ~TTlsServer() {
    ::closesocket(listener_);
    thread_.join();
    SSL_CTX_free(context_);
  }
  uint16_t Port() const { return port_; }

 private:
  SSL_CTX* context_ = nullptr;
  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::thread thread_;
};

// "" once a TLS connection to `port` is up, else why it is not.
std::string Connect(uint16_t port) {
  try {
    TTcpSocket socket;
    socket.StartConnect("127.0.0.1", port, Transport::kTls);
    return socket.WaitConnected(10000) ? "" : "timed out";
  } catch (const SocketError& error) {
    return error.what();
  }
}

TEST(TlsRoots, AServerIsTrustedOnlyWhileItsRootIsInTheSystemStore) {
  if (!UnderWine()) GTEST_SKIP() << "adding a root to the store asks the user outside wine";
  // OpenSSL's own default paths trust nothing here.
  test::TempDir dir;
  const test::ScopedEnv file("SSL_CERT_FILE", dir.Write("none.pem", ""));
  const test::ScopedEnv folder("SSL_CERT_DIR", dir.Path());
  const TTestIdentity identity;
  const TTlsServer server(identity);
  EXPECT_NE(Connect(server.Port()).find("the server's certificate was refused"), std::string::npos);

  HCERTSTORE store = ::CertOpenSystemStoreW(0, L"ROOT");
  ASSERT_NE(store, nullptr);
  const std::vector<unsigned char> der = identity.Der();
  PCCERT_CONTEXT added = nullptr;
  ASSERT_TRUE(::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                 static_cast<DWORD>(der.size()),
                                                 CERT_STORE_ADD_REPLACE_EXISTING, &added));
  const std::string trusted = Connect(server.Port());
  ::CertDeleteCertificateFromStore(added);  // frees `added`
  ::CertCloseStore(store, 0);
  EXPECT_EQ(trusted, "");
  EXPECT_NE(Connect(server.Port()), "");
}

}  // namespace
}  // namespace vexmoor
