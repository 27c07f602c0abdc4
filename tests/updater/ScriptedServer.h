// A tiny HTTP server for the client tests: it listens on 127.0.0.1, accepts
// one connection at a time on its own thread and lets a test script what is
// sent back, byte for byte, including faults no real server makes on demand.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vexmoor::test {

class ScriptedServer;

// One accepted connection, handed to the script.
class ServerConnection {
 public:
  ServerConnection(ScriptedServer& server, int fd) : server_(server), fd_(fd) {}
  // Reads one request through its empty line and records it; "" when the
  // client closed first or nothing came within a few seconds.
  std::string ReadRequest();
  // False when the client went away before every byte was sent.
  bool Send(std::string_view bytes);
  // Sends `bytes` `piece` bytes at a time with `pause` between the pieces;
  // false when the client went away or the server stopped first.
  bool Trickle(std::string_view bytes, size_t piece, std::chrono::milliseconds pause);
  // The connection ends with a reset instead of an orderly close.
  void ResetOnClose();
  // Waits (a few seconds at most) until the client closes the connection.
  void WaitForClose();

 private:
  ScriptedServer& server_;
  int fd_;
  std::string pending_;
};

class ScriptedServer {
 public:
  using Script = std::function<void(ServerConnection&)>;

  // Runs `script` for every connection; the connection closes when it returns.
  explicit ScriptedServer(Script script);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(std::string_view path) const;
  std::vector<std::string> Requests() const;
  int Connections() const { return connections_; }
  bool Stopping() const { return stop_; }

 private:
  friend class ServerConnection;
  void Run();
  void Record(const std::string& request);

  Script script_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_ = false;
  std::atomic<int> connections_ = 0;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A loopback port on which nobody listens (bound once, then released).
uint16_t UnusedLoopbackPort();

}  // namespace vexmoor::test
