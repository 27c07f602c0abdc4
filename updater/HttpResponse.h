// Reading an HTTP response from the bytes a connection delivers: the status
// line, the header lines and the body (by content length, by chunks, or until
// the server closes). It knows nothing of sockets, so it can be fed from
// anywhere: the client, the tests, the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexmoor {

// The longest header or chunk-size line accepted, line end not counted.
inline constexpr size_t kHttpMaxLineLength = 8192;

// The values of the response header that the client uses.
struct THttpResponseHeader {
  std::string version;  // "1.0", "1.1"; empty for a response without header
  int statusCode = 0;
  std::string reasonPhrase;
  int64_t contentLength = -1;  // -1 when absent or not a number
  std::string location;
  std::string transferEncoding;
  std::string contentType;  // lower case
  bool keepAlive = false;   // "keep-alive" in Connection or Proxy-Connection
  std::vector<std::string> setCookies;
  std::string contentRange;
  std::string acceptRanges;
  std::string wwwAuthenticate;
  std::string proxyAuthenticate;
};

// Parses one response. Body bytes go to `sink` as they are recognised, in
// blocks that are valid only during the call; a chunked body arrives decoded.
// Malformed input raises EHttpException with a text that says what was wrong.
class THttpResponseParser {
 public:
  using BodySink = std::function<void(const char* data, size_t size)>;

  explicit THttpResponseParser(BodySink sink);

  // Takes the next `size` received bytes. Returns how many belong to this
  // response: fewer than `size` only when the response ended within them.
  size_t Feed(const char* data, size_t size);
  // The server closed the connection: ends a body that runs until the close,
  // and throws EHttpException when the response is incomplete (no header,
  // fewer body bytes than announced, an unfinished chunked body).
  void FeedEnd();

  bool ReceivedAnything() const { return receivedAnything_; }
  bool HeaderComplete() const;
  bool Complete() const { return state_ == State::kDone; }
  const THttpResponseHeader& Header() const { return header_; }
  // Body bytes passed to the sink so far (decoded bytes for chunks).
  int64_t BodyBytes() const { return bodyBytes_; }
  // True when the response is complete, its end was known without the
  // server closing, and the server asked to keep the connection.
  bool ConnectionReusable() const;

 private:
  enum class State {
    kStatusLine,
    kHeaderLine,
    kBodyLength,
    kBodyUntilClose,
    kChunkSize,
    kChunkData,
    kChunkDataEnd,
    kTrailer,
    kDone
  };

  // Collects a line; true when `line_` holds a whole line (CR LF dropped).
  bool TakeLine(const char*& data, const char* end);
  void OnLine();
  void OnStatusLine();
  void OnHeaderLine();
  void OnHeaderEnd();
  void OnChunkSizeLine();
  void Emit(const char* data, size_t size);

  BodySink sink_;
  State state_ = State::kStatusLine;
  THttpResponseHeader header_;
  std::string line_;
  bool receivedAnything_ = false;
  bool untilClose_ = false;
  int64_t remaining_ = 0;  // body or chunk bytes still expected
  int64_t bodyBytes_ = 0;
};

}  // namespace vexmoor
