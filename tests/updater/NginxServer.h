// nginx as a test server: started as a foreground child on a free loopback
// port with its own prefix, pid file and logs in a temporary folder, and
// stopped again when the object goes. Tests skip when nginx is not installed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/TempDir.h"

namespace vexmoor::test {

// The nginx program, or "" when it is not installed.
std::string FindNginx();

// A certificate authority made for one test, a server certificate it signed
// for the name "vexmoor.test" and the address 127.0.0.1, and a second,
// unrelated authority that trusts nothing of ours. PEM file paths.
struct TestCertificates {
  std::string ca;
  std::string otherCa;
  std::string cert;
  std::string key;
};

// Makes them in `folder` with the `openssl` command; false when it is not
// installed or failed.
bool MakeTestCertificates(const std::string& folder, TestCertificates& made);

class NginxServer {
 public:
  // Serves the folder `root`; `directives` go into the server block
  // (locations, returns), with "@HTTPS_PORT@" replaced by the https port.
  // With `tls`, the same block also listens for https with its certificate.
  // Running() tells whether it came up.
  NginxServer(const std::string& root, std::string_view directives,
              const TestCertificates* tls = nullptr);
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  bool Running() const { return running_; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(std::string_view path) const;
  // "https://HOST:HTTPS_PORT" + path.
  std::string SecureUrl(std::string_view path, std::string_view host = "127.0.0.1") const;
  // nginx's error log, to explain a failed start.
  std::string ErrorLog() const;

 private:
  void Start(const std::string& program);
  void Stop();

  TempDir prefix_;
  uint16_t port_ = 0;
  uint16_t httpsPort_ = 0;
  int64_t pid_ = -1;  // pid_t on POSIX
  bool running_ = false;
};

}  // namespace vexmoor::test
