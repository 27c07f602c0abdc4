#include "updater/ScriptedServer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <stdexcept>

namespace vexmoor::test {

namespace {

// The socket calls by one name on both systems (Winsock names a few
// differently and takes a SOCKET where POSIX takes an int).
namespace sys {
#ifdef _WIN32
using ssize_t = int;
constexpr int kNoSignal = 0;
constexpr int kDontWait = 0;  // recv is only called once poll saw data
constexpr int kCloseOnExec = 0;
int socket(int family, int type, int protocol) {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
  return static_cast<int>(::socket(family, type, protocol));
}
int close(int fd) { return ::closesocket(static_cast<SOCKET>(fd)); }
int poll(pollfd* entries, unsigned long count, int timeoutMs) { return ::WSAPoll(entries, count, timeoutMs); }
int accept4(int fd, sockaddr* address, socklen_t* length, int) {
  return static_cast<int>(::accept(static_cast<SOCKET>(fd), address, length));
}
ssize_t recv(int fd, char* buffer, size_t size, int flags) {
  return ::recv(static_cast<SOCKET>(fd), buffer, static_cast<int>(size), flags);
}
ssize_t send(int fd, const char* buffer, size_t size, int flags) {
  return ::send(static_cast<SOCKET>(fd), buffer, static_cast<int>(size), flags);
}
int setsockopt(int fd, int level, int name, const void* value, socklen_t size) {
  return ::setsockopt(static_cast<SOCKET>(fd), level, name, static_cast<const char*>(value), size);
}
#else
using ::ssize_t;
constexpr int kNoSignal = MSG_NOSIGNAL;
constexpr int kDontWait = MSG_DONTWAIT;
constexpr int kCloseOnExec = SOCK_CLOEXEC;
using ::accept4;
using ::close;
using ::poll;
using ::recv;
using ::send;
using ::setsockopt;
using ::socket;
#endif
}  // namespace sys

constexpr int kPollMs = 20;
constexpr int kPatienceMs = 5000;  // how long the server waits for a slow client

int ListenOnLoopback(uint16_t& port, bool listen) {
  const int fd = sys::socket(AF_INET, SOCK_STREAM | sys::kCloseOnExec, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      (listen && ::listen(fd, 8) != 0) ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    sys::close(fd);
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port = ntohs(address.sin_port);
  return fd;
}

pollfd Entry(int fd) {
  pollfd entry{};
  entry.fd = fd;
  entry.events = POLLIN;
  return entry;
}

bool Readable(int fd) {
  pollfd entry = Entry(fd);
  return sys::poll(&entry, 1, kPollMs) > 0;
}

}  // namespace

uint16_t UnusedLoopbackPort() {
  uint16_t port = 0;
  sys::close(ListenOnLoopback(port, false));
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
    const sys::ssize_t got = sys::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) return "";
    pending_.append(buffer, static_cast<size_t>(got));
  }
  return "";
}

bool ServerConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const sys::ssize_t sent = sys::send(fd_, bytes.data(), bytes.size(), sys::kNoSignal);
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
    pollfd entry = Entry(fd_);
    if (sys::poll(&entry, 1, static_cast<int>(pause.count())) > 0) {
      char buffer[4096];
      if (sys::recv(fd_, buffer, sizeof buffer, sys::kDontWait) <= 0) return false;
    }
  }
  return true;
}

void ServerConnection::ResetOnClose() {
  const linger option{1, 0};
  sys::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

void ServerConnection::WaitForClose() {
  for (int waited = 0; waited < kPatienceMs && !server_.Stopping(); waited += kPollMs) {
    if (!Readable(fd_)) continue;
    char buffer[4096];
    if (sys::recv(fd_, buffer, sizeof buffer, 0) <= 0) return;
  }
}

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
  listener_ = ListenOnLoopback(port_, true);
  thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  thread_.join();
  sys::close(listener_);
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
    const int fd = sys::accept4(listener_, nullptr, nullptr, sys::kCloseOnExec);
    if (fd < 0) continue;
    ++connections_;
    ServerConnection connection(*this, fd);
    script_(connection);
    sys::close(fd);
  }
}

}  // namespace vexmoor::test
