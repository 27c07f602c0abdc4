// The CRC-32 of one large file summed on several threads at once. A single
// thread copying a page-cached file out of the system tops out well below
// what the memory can deliver; two threads reading alternate stripes get
// much closer. Neighbouring stripes are read at the same time, so a disk
// still sees reads that move steadily forward.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace vexmoor {

inline constexpr uint64_t kChecksumStripeBytes = uint64_t{8} << 20;

// The same value as FileCrc32Value, read by up to `threads` threads
// (the caller's among them) in stripes of `stripeBytes`. Small files, and
// `threads` below 2, take the single-thread read. A file that shrinks while
// it is read is read again as one stream; bytes appended meanwhile are taken
// as the single-thread read would take them. Throws FileOpenError or IoError
// as FileCrc32Value does; with `abandon` set the value is meaningless.
uint32_t StripedFileCrc32(const std::string& path, unsigned threads,
                          const std::atomic<bool>* abandon = nullptr,
                          uint64_t stripeBytes = kChecksumStripeBytes);

}  // namespace vexmoor
