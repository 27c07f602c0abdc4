#include "updater/ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace vexmoor::test {

namespace {

constexpr int kPollMs = 20;
constexpr int kPatienceMs = 5000;  // how long the server waits for a slow client

int ListenOnLoopback(uint16_t& port, bool listen) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      (listen && ::listen(fd, 8) != 0) ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port = ntohs(address.sin_port);
  return fd;
}

bool Readable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, kPollMs) > 0;
}

}  // namespace

uint16_t UnusedLoopbackPort() {
  uint16_t port = 0;
  ::close(ListenOnLoopback(port, false));
  return port;
}

std::string ServerConnection::ReadRequest() {
  for (int waited = 0; waited < kPatienceMs && !server_.Stopping(); waited += kPollMs) {
    if (const size_t end = pending_.find("\r\n\r\n"); end != std::string::npos) {
      std::string request = pending_.substr(0, end + 4);
      pending_.erase(0, end + 4);
      server_.Record(request);
      return request;
    }
    if (!Readable(fd_)) continue;
    char buffer[4096];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) return "";
    pending_.append(buffer, static_cast<size_t>(got));
  }
  return "";
}

bool ServerConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;  // the client went away; the test sees that itself
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

bool ServerConnection::Trickle(std::string_view bytes, size_t piece,
                               std::chrono::milliseconds pause) {
  for (size_t at = 0; at < bytes.size(); at += piece) {
    if (server_.Stopping() || !Send(bytes.substr(at, piece))) return false;
    // A client that closed makes the socket readable (end of stream).
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(pause.count())) > 0) {
      char buffer[4096];
      if (::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT) <= 0) return false;
    }
  }
  return true;
}

void ServerConnection::ResetOnClose() {
  const linger option{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

void ServerConnection::WaitForClose() {
  for (int waited = 0; waited < kPatienceMs && !server_.Stopping(); waited += kPollMs) {
    if (!Readable(fd_)) continue;
    char buffer[4096];
    if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) return;
  }
}

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
  listener_ = ListenOnLoopback(port_, true);
  thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

std::string ScriptedServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> ScriptedServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedServer::Record(const std::string& request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(request);
}

void ScriptedServer::Run() {
  while (!stop_) {
    if (!Readable(listener_)) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    ServerConnection connection(*this, fd);
    script_(connection);
    ::close(fd);
  }
}

}  // namespace vexmoor::test
