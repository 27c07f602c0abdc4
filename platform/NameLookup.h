// Host names to addresses for the socket halves (Socket-posix.cpp and
// Socket-win32.cpp): getaddrinfo is the same call on both systems. A numeric
// address is taken at once; a name is looked up on a thread of its own, so
// that a slow name server never blocks the caller's waits.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vexmoor {

struct TResolvedAddress {
  int Family = 0;
  std::vector<char> Bytes;  // the sockaddr as getaddrinfo gave it
};

// A name look-up, shared with the thread that makes it. getaddrinfo cannot
// be cancelled, so a look-up that the caller gave up finishes on its own.
struct TNameLookup {
  std::mutex Mutex;
  std::condition_variable Finished;
  bool Done = false;
  int Error = 0;  // getaddrinfo's code when it failed
  std::vector<TResolvedAddress> Addresses;
};

// The addresses of `host` when it is a numeric address (no name server is
// asked); false, with `addresses` untouched, when it is a name.
bool ResolveNumeric(const std::string& host, uint16_t port, std::vector<TResolvedAddress>& addresses);

// Starts looking `host` up on a thread of its own (in the caller's thread
// when no thread can be had).
std::shared_ptr<TNameLookup> StartNameLookup(const std::string& host, uint16_t port);

// Waits up to `timeoutMs` for `lookup`; false when it is still running.
// Once it has finished, `lookup` is reset and its addresses are moved into
// `addresses`; a look-up that failed throws HostNotFoundError.
bool FinishNameLookup(std::shared_ptr<TNameLookup>& lookup, int timeoutMs,
                      std::vector<TResolvedAddress>& addresses);

}  // namespace vexmoor
