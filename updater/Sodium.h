// The updater's use of libsodium beside the signatures: the library's
// start-up and streamed SHA-256 sums of downloads.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vexmoor {

// Starts libsodium once per process (safe from any thread). Throws Error
// when the library cannot start (no source of randomness).
void RequireSodium();

// A SHA-256 sum fed block by block.
class TSha256 {
 public:
  TSha256();
  ~TSha256();
  TSha256(const TSha256&) = delete;
  TSha256& operator=(const TSha256&) = delete;

  void Add(std::string_view data);
  // The sum as 64 lower-case hex digits; ends the sum.
  std::string FinishHex();

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

// The SHA-256 of the whole file at `path` as 64 lower-case hex digits, read
// in blocks. Throws FileOpenError or IoError.
std::string FileSha256Hex(const std::string& path);

// True when `text` is 64 hex digits (either case).
bool IsSha256Hex(std::string_view text);

}  // namespace vexmoor
