#include "platform/NameLookup.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/Socket.h"

namespace vexmoor {

namespace {

// Returns getaddrinfo's code; fills `addresses` when it is 0.
int Resolve(const std::string& host, uint16_t port, int flags, std::vector<TResolvedAddress>& addresses) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = flags;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int result = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (result != 0) return result;
  std::vector<TResolvedAddress> resolved;
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    const auto* raw = reinterpret_cast<const char*>(entry->ai_addr);
    resolved.push_back({entry->ai_family, std::vector<char>(raw, raw + entry->ai_addrlen)});
  }
  ::freeaddrinfo(found);
  if (resolved.empty()) return EAI_NONAME;
  addresses = std::move(resolved);
  return 0;
}

[[noreturn]] void ThrowHostNotFound(int code) {
#ifdef _WIN32
  throw HostNotFoundError(::gai_strerrorA(code), code);  // gai_strerror is the UTF-16 one here
#else
  throw HostNotFoundError(::gai_strerror(code), code);
#endif
}

}  // namespace

bool ResolveNumeric(const std::string& host, uint16_t port, std::vector<TResolvedAddress>& addresses) {
  return Resolve(host, port, AI_NUMERICHOST, addresses) == 0;
}

std::shared_ptr<TNameLookup> StartNameLookup(const std::string& host, uint16_t port) {
  auto lookup = std::make_shared<TNameLookup>();
  const auto run = [lookup, host, port] {
    std::vector<TResolvedAddress> addresses;
    const int error = Resolve(host, port, 0, addresses);
    std::lock_guard lock(lookup->Mutex);
    lookup->Error = error;
    lookup->Addresses = std::move(addresses);
    lookup->Done = true;
    lookup->Finished.notify_all();
  };
  try {
    std::thread(run).detach();
  } catch (const std::system_error&) {
    run();  // no thread to be had: look the name up while the caller waits
  }
  return lookup;
}

bool FinishNameLookup(std::shared_ptr<TNameLookup>& lookup, int timeoutMs,
                      std::vector<TResolvedAddress>& addresses) {
  const std::shared_ptr<TNameLookup> finished = lookup;
  std::unique_lock lock(finished->Mutex);
  if (!finished->Finished.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return finished->Done; }))
    return false;
  lookup.reset();
  if (finished->Error != 0) ThrowHostNotFound(finished->Error);
  addresses = std::move(finished->Addresses);
  return true;
}

}  // namespace vexmoor
