// Feeds arbitrary bytes to the HTTP response parser (status line, header
// lines, bodies by length, chunks or close) in pieces whose size the first
// byte picks, and to the URL and redirect-location splitting. When the first
// byte's bit 0x40 is set, the input after it is fed again and again, as an
// endless response would: the parser must then stop at one of its limits
// (or complete), and whatever it took besides body bytes stays within the
// limits of the head, the trailer and the chunk framing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "updater/HttpException.h"
#include "updater/HttpResponse.h"
#include "updater/HttpUrl.h"

namespace {

// The most an endless input is fed: past every limit beside the body.
constexpr size_t kEndlessBytes = 256 * 1024;

// Bytes besides the body that the parser may take: the head, the trailer
// and the chunk framing at their limits.
uint64_t NonBodyLimit(int64_t bodyBytes) {
  return vexmoor::kHttpMaxHeadBytes + vexmoor::kHttpMaxTrailerBytes +
         vexmoor::kHttpChunkFramingAllowance +
         vexmoor::kHttpChunkFramingPerByte * static_cast<uint64_t>(bodyBytes);
}

void ParseResponse(const uint8_t* data, size_t size) {
  const size_t piece = size > 0 ? data[0] % 64 + 1 : 1;
  const bool endless = size > 1 && (data[0] & 0x40) != 0;
  int64_t delivered = 0;
  vexmoor::THttpResponseParser parser([&delivered](const char*, size_t block) {
    if (block == 0) std::abort();
    delivered += static_cast<int64_t>(block);
  });
  uint64_t taken = 0;
  try {
    const auto* bytes = reinterpret_cast<const char*>(data);
    const auto feed = [&](size_t from) {
      for (size_t at = from; at < size; at += piece) {
        const size_t length = size - at < piece ? size - at : piece;
        const size_t used = parser.Feed(bytes + at, length);
        if (used > length || (used < length && !parser.Complete())) std::abort();
        taken += used;
        if (taken - static_cast<uint64_t>(parser.BodyBytes()) > NonBodyLimit(parser.BodyBytes()))
          std::abort();
        if (parser.Complete()) return;
      }
    };
    feed(0);
    // A body fed for ever is the caller's to cap; everything else must stop.
    for (size_t fed = size; endless && !parser.Complete() && fed < kEndlessBytes; fed += size - 1) {
      feed(1);
    }
    parser.FeedEnd();
    if (!parser.Complete()) std::abort();
  } catch (const vexmoor::EHttpException&) {
  }
  if (delivered != parser.BodyBytes()) std::abort();
  if (parser.Header().setCookies.size() > vexmoor::kHttpMaxHeadLines) std::abort();
}

void SplitAddresses(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const vexmoor::THttpUrl url = vexmoor::SplitHttpUrl(text);
    const std::string request = vexmoor::BuildHttpRequest(url);
    // Six lines whatever the URL held: nothing can break or add a line.
    size_t lineEnds = 0;
    for (size_t at = request.find('\n'); at != std::string::npos; at = request.find('\n', at + 1)) {
      if (at == 0 || request[at - 1] != '\r') std::abort();
      ++lineEnds;
    }
    if (lineEnds != 6 || std::count(request.begin(), request.end(), '\r') != 6) std::abort();
  } catch (const vexmoor::EHttpException&) {
  }
  try {
    const vexmoor::THttpUrl next =
        vexmoor::ResolveLocation(vexmoor::SplitHttpUrl("http://h:81/dir/a?x=/y"), text);
    if (next.path.empty() || next.path.front() != '/') std::abort();
  } catch (const vexmoor::EHttpException&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ParseResponse(data, size);
  SplitAddresses(data, size);
  return 0;
}
