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
// What one response may bring besides its body. The head counts every line
// before the body (stray line ends, the status and header lines of the
// interim 1xx replies and of the final response) with its line end.
inline constexpr size_t kHttpMaxHeadLines = 100;
inline constexpr size_t kHttpMaxHeadBytes = 64 * 1024;
inline constexpr int kHttpMaxInterimResponses = 10;
// The lines after the last chunk of a chunked body, its ending line included.
inline constexpr size_t kHttpMaxTrailerLines = 100;
inline constexpr size_t kHttpMaxTrailerBytes = 64 * 1024;
// The chunk-size lines and the line ends after the chunks of a chunked body
// may come to this many bytes plus kHttpChunkFramingPerByte for every body
// byte: one-byte chunks pass, a stream of long chunk extensions does not.
inline constexpr size_t kHttpChunkFramingAllowance = 64 * 1024;
inline constexpr size_t kHttpChunkFramingPerByte = 8;

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
// Malformed input, or a part of the response over its limit above, raises
// EHttpException with a text that says what was wrong.
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
  void CountLineBytes(size_t size);
  void CountLine();
  void Emit(const char* data, size_t size);

  BodySink sink_;
  State state_ = State::kStatusLine;
  THttpResponseHeader header_;
  std::string line_;
  bool receivedAnything_ = false;
  bool untilClose_ = false;
  int64_t remaining_ = 0;  // body or chunk bytes still expected
  int64_t bodyBytes_ = 0;
  size_t headLines_ = 0;
  size_t headBytes_ = 0;
  int interimResponses_ = 0;
  size_t trailerLines_ = 0;
  size_t trailerBytes_ = 0;
  uint64_t framingBytes_ = 0;
};

}  // namespace vexmoor
