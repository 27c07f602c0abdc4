// The client over https: against nginx with a certificate authority made for
// the test (trusted through SSL_CERT_FILE), and against scripted servers
// that never finish a handshake.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "support/RandomData.h"
#include "support/TempDir.h"
#include "updater/HttpCli.h"
#include "updater/NginxServer.h"
#include "updater/ScriptedServer.h"

namespace vexmoor {
namespace {

using namespace std::chrono_literals;

constexpr const char* kDirectives =
    "    absolute_redirect off;\n"
    "    location = /secure { return 301 https://127.0.0.1:@HTTPS_PORT@/docs/new.txt; }\n"
    "    location = /plain { return 302 http://127.0.0.1:$server_port/docs/new.txt; }\n"
    "    location = /slow.bin { limit_rate 200; }\n";

std::string Failure(THttpCli& http) {
  try {
    http.Get();
    return "";
  } catch (const EHttpException& error) {
    return error.what();
  }
}

class HttpTls : public test::TempDirTest {
 protected:
  void SetUp() override {
    if (test::FindNginx().empty()) GTEST_SKIP() << "nginx is not installed";
    dir_.Write("pki/.keep", "");
    if (!test::MakeTestCertificates(dir_ / "pki", certificates_)) {
      GTEST_SKIP() << "the openssl command is missing or failed";
    }
    dir_.Write("www/docs/new.txt", "new text\n");
    dir_.Write("www/data.bin", data_);
    dir_.Write("www/slow.bin", std::string(20000, 's'));
    server_ = std::make_unique<test::NginxServer>(dir_ / "www", kDirectives, &certificates_);
    ASSERT_TRUE(server_->Running()) << server_->ErrorLog();
    http_.SetRcvdStream(&body_);
    http_.SetIdleTimeout(5s);
    Trust(certificates_.ca);
  }

  // Makes `caFile` the only authority the client trusts.
  void Trust(const std::string& caFile) {
    certFile_.reset();
    certFile_ = std::make_unique<test::ScopedEnv>("SSL_CERT_FILE", caFile);
    if (!certDir_) certDir_ = std::make_unique<test::ScopedEnv>("SSL_CERT_DIR", dir_ / "pki");
  }

  std::string Get(const std::string& url) {
    body_.clear();
    http_.SetURL(url);
    return Failure(http_);
  }

  const std::string data_ = test::RandomBytes(300 * 1024 + 17, 43);
  test::TestCertificates certificates_;
  std::unique_ptr<test::ScopedEnv> certFile_, certDir_;
  std::unique_ptr<test::NginxServer> server_;
  THttpCli http_;
  std::string body_;
};

TEST_F(HttpTls, DownloadsOverHttpsFromATrustedServer) {
  EXPECT_EQ(Get(server_->SecureUrl("/data.bin")), "");
  EXPECT_EQ(http_.StatusCode(), 200);
  EXPECT_TRUE(body_ == data_);
  // By name as well as by address, and again on a new connection.
  EXPECT_EQ(Get(server_->SecureUrl("/docs/new.txt")), "");
  EXPECT_EQ(body_, "new text\n");
  // Plain http keeps working beside it.
  EXPECT_EQ(Get(server_->Url("/docs/new.txt")), "");
  EXPECT_EQ(body_, "new text\n");
}

TEST_F(HttpTls, FollowsARedirectFromHttpToHttps) {
  EXPECT_EQ(Get(server_->Url("/secure")), "");
  EXPECT_EQ(body_, "new text\n");
}

TEST_F(HttpTls, RefusesARedirectFromHttpsToHttp) {
  const std::string failure = Get(server_->SecureUrl("/plain"));
  EXPECT_TRUE(failure.starts_with("Refused a redirect from the secure address " +
                                  server_->SecureUrl("/plain") + " to the plain http address "))
      << failure;
  EXPECT_EQ(body_, "");
}

TEST_F(HttpTls, RefusesACertificateForAnotherName) {
  // The certificate names vexmoor.test and 127.0.0.1, not localhost.
  const std::string url = server_->SecureUrl("/docs/new.txt", "localhost");
  const std::string failure = Get(url);
  EXPECT_TRUE(failure.starts_with("can't connect securely to localhost:")) << failure;
  EXPECT_NE(failure.find("the server's certificate was refused: hostname mismatch"),
            std::string::npos)
      << failure;
  EXPECT_EQ(body_, "");
}

TEST_F(HttpTls, RefusesACertificateFromAnUntrustedAuthority) {
  Trust(certificates_.otherCa);
  const std::string failure = Get(server_->SecureUrl("/docs/new.txt"));
  EXPECT_NE(failure.find("the server's certificate was refused: unable to get local issuer"),
            std::string::npos)
      << failure;
  EXPECT_EQ(body_, "");
}

TEST_F(HttpTls, AnHttpsAddressOnAPlainPortFailsTheHandshake) {
  std::string url = server_->Url("/docs/new.txt");
  url.replace(0, 4, "https");
  const std::string failure = Get(url);
  EXPECT_TRUE(failure.starts_with("can't connect securely to 127.0.0.1:")) << failure;
}

TEST_F(HttpTls, TheLowSpeedLimitHoldsOverTls) {
  http_.SetLowSpeedLimit(1024, 1500ms);
  const auto start = std::chrono::steady_clock::now();
  const std::string failure = Get(server_->SecureUrl("/slow.bin"));
  EXPECT_EQ(failure, server_->SecureUrl("/slow.bin") +
                         ": the transfer is too slow: less than 1 KiB in 1500 ms");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

// A server that accepts and then says nothing, or answers the handshake with
// plain text: the idle time-out and the handshake's failure end the request.
TEST(HttpTlsScripted, AServerSilentInTheHandshakeTimesOut) {
  test::ScriptedServer server(
      [](test::ServerConnection& connection) { connection.WaitForClose(); });
  THttpCli http;
  http.SetURL("https://127.0.0.1:" + std::to_string(server.Port()) + "/");
  http.SetIdleTimeout(400ms);
  const auto start = std::chrono::steady_clock::now();
  const std::string failure = Failure(http);
  EXPECT_TRUE(failure.starts_with("can't connect: ")) << failure;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(HttpTlsScripted, EndlessPlainTextInsteadOfAHandshakeFails) {
  test::ScriptedServer server([](test::ServerConnection& connection) {
    for (int i = 0; i < 100000 && connection.Send(std::string(4096, 'x')); ++i) {
    }
  });
  THttpCli http;
  http.SetURL("https://127.0.0.1:" + std::to_string(server.Port()) + "/");
  http.SetIdleTimeout(3s);
  const std::string failure = Failure(http);
  EXPECT_TRUE(failure.starts_with("can't connect securely to 127.0.0.1:")) << failure;
}

}  // namespace
}  // namespace vexmoor
