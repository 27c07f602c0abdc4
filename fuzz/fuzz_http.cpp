// Feeds arbitrary bytes to the HTTP response parser (status line, header
// lines, bodies by length, chunks or close) in pieces whose size the first
// byte picks, and to the URL and redirect-location splitting.
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

void ParseResponse(const uint8_t* data, size_t size) {
  const size_t piece = size > 0 ? data[0] % 64 + 1 : 1;
  int64_t delivered = 0;
  vexmoor::THttpResponseParser parser([&delivered](const char*, size_t block) {
    if (block == 0) std::abort();
    delivered += static_cast<int64_t>(block);
  });
  try {
    const auto* bytes = reinterpret_cast<const char*>(data);
    for (size_t at = 0; at < size; at += piece) {
      const size_t length = size - at < piece ? size - at : piece;
      const size_t used = parser.Feed(bytes + at, length);
      if (used > length || (used < length && !parser.Complete())) std::abort();
      if (parser.Complete()) break;
    }
    parser.FeedEnd();
    if (!parser.Complete()) std::abort();
  } catch (const vexmoor::EHttpException&) {
  }
  if (delivered != parser.BodyBytes()) std::abort();
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
