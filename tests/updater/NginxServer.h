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

class NginxServer {
 public:
  // Serves the folder `root`; `directives` go into the server block
  // (locations, returns). Running() tells whether it came up.
  NginxServer(const std::string& root, std::string_view directives);
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  bool Running() const { return running_; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(std::string_view path) const;
  // nginx's error log, to explain a failed start.
  std::string ErrorLog() const;

 private:
  void Start(const std::string& program);
  void Stop();

  TempDir prefix_;
  uint16_t port_ = 0;
  int64_t pid_ = -1;
  bool running_ = false;
};

}  // namespace vexmoor::test
