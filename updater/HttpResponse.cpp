#include "updater/HttpResponse.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>

#include "catalogue/TextLines.h"
#include "updater/HttpException.h"

namespace vexmoor {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal content length; -1 when the text is not one.
int64_t ParseLength(std::string_view text) {
  if (text.empty() || text.size() > 18) return -1;
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// True when the comma-separated `value` holds `token` (any case).
bool HasToken(std::string_view value, std::string_view token) {
  const std::string lower = AsciiLower(value);
  std::string_view rest = lower;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    if (TrimSpacesAndTabs(rest.substr(0, comma)) == token) return true;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return false;
}

// A server that sends no header at all starts its answer with "<HTML>".
bool StartsWithHtmlTag(std::string_view line) {
  return line.size() >= 6 && AsciiLower(line.substr(0, 6)) == "<html>";
}

[[noreturn]] void Fail(const std::string& reason) { throw EHttpException(reason); }

std::string KiBText(size_t bytes) { return std::to_string(bytes / 1024) + " KiB"; }

}  // namespace

THttpResponseParser::THttpResponseParser(BodySink sink) : sink_(std::move(sink)) {}

bool THttpResponseParser::HeaderComplete() const {
  return state_ != State::kStatusLine && state_ != State::kHeaderLine;
}

bool THttpResponseParser::ConnectionReusable() const {
  return state_ == State::kDone && !untilClose_ && header_.keepAlive;
}

size_t THttpResponseParser::Feed(const char* data, size_t size) {
  if (size > 0) receivedAnything_ = true;
  const char* p = data;
  const char* const end = data + size;
  while (p < end && state_ != State::kDone) {
    if (state_ == State::kBodyLength || state_ == State::kChunkData) {
      const auto take = static_cast<size_t>(std::min<int64_t>(remaining_, end - p));
      Emit(p, take);
      p += take;
      remaining_ -= static_cast<int64_t>(take);
      if (remaining_ == 0)
        state_ = state_ == State::kBodyLength ? State::kDone : State::kChunkDataEnd;
    } else if (state_ == State::kBodyUntilClose) {
      Emit(p, static_cast<size_t>(end - p));
      p = end;
    } else if (TakeLine(p, end)) {
      OnLine();
    } else if (state_ == State::kStatusLine && StartsWithHtmlTag(line_)) {
      Emit(line_.data(), line_.size());
      line_.clear();
      header_.contentType = "text/html";
      untilClose_ = true;
      state_ = State::kBodyUntilClose;
    }
  }
  return static_cast<size_t>(p - data);
}

void THttpResponseParser::FeedEnd() {
  switch (state_) {
    case State::kDone:
      return;
    case State::kBodyUntilClose:
      state_ = State::kDone;
      return;
    case State::kStatusLine:
    case State::kHeaderLine:
      Fail(receivedAnything_ ? "Connection closed before the end of the response header"
                             : "Connection closed without a response");
    case State::kBodyLength:
      Fail("Connection closed after " + std::to_string(bodyBytes_) + " of " +
           std::to_string(header_.contentLength) + " bytes of the response body");
    default:
      Fail("Connection closed before the end of the chunked response body");
  }
}

bool THttpResponseParser::TakeLine(const char*& data, const char* end) {
  const auto* newline =
      static_cast<const char*>(std::memchr(data, '\n', static_cast<size_t>(end - data)));
  const char* stop = newline != nullptr ? newline : end;
  line_.append(data, stop);
  const auto taken = static_cast<size_t>((newline != nullptr ? newline + 1 : end) - data);
  data += taken;
  // A headerless answer is body from its first byte, however long its lines.
  if (state_ == State::kStatusLine && StartsWithHtmlTag(line_)) return newline != nullptr;
  // One byte more is allowed for the CR that is dropped with the LF.
  if (line_.size() > kHttpMaxLineLength + 1) Fail("HTTP line too long");
  CountLineBytes(taken);
  if (newline == nullptr) return false;
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();
  if (line_.size() > kHttpMaxLineLength) Fail("HTTP line too long");
  return true;
}

// Counts `size` more bytes of lines towards the limit of the part they
// belong to, so that an endless head or trailer fails within its limit even
// while a line is still open.
void THttpResponseParser::CountLineBytes(size_t size) {
  switch (state_) {
    case State::kStatusLine:
    case State::kHeaderLine:
      headBytes_ += size;
      if (headBytes_ > kHttpMaxHeadBytes) {
        Fail("HTTP response header too long (more than " + KiBText(kHttpMaxHeadBytes) + ")");
      }
      break;
    case State::kTrailer:
      trailerBytes_ += size;
      if (trailerBytes_ > kHttpMaxTrailerBytes) {
        Fail("HTTP chunk trailer too long (more than " + KiBText(kHttpMaxTrailerBytes) + ")");
      }
      break;
    default:  // chunk-size lines and the line ends after chunks
      framingBytes_ += size;
      if (framingBytes_ > kHttpChunkFramingAllowance +
                              kHttpChunkFramingPerByte * static_cast<uint64_t>(bodyBytes_)) {
        Fail("Chunk framing too long for the body in the HTTP response");
      }
      break;
  }
}

void THttpResponseParser::CountLine() {
  if (state_ == State::kStatusLine || state_ == State::kHeaderLine) {
    if (++headLines_ > kHttpMaxHeadLines) {
      Fail("HTTP response header too long (more than " + std::to_string(kHttpMaxHeadLines) +
           " lines)");
    }
  } else if (state_ == State::kTrailer) {
    if (++trailerLines_ > kHttpMaxTrailerLines) {
      Fail("HTTP chunk trailer too long (more than " + std::to_string(kHttpMaxTrailerLines) +
           " lines)");
    }
  }
}

void THttpResponseParser::OnLine() {
  CountLine();
  switch (state_) {
    case State::kStatusLine:
      OnStatusLine();
      break;
    case State::kHeaderLine:
      OnHeaderLine();
      break;
    case State::kChunkSize:
      OnChunkSizeLine();
      break;
    case State::kChunkDataEnd:
      if (!line_.empty()) Fail("Invalid chunked encoding in the HTTP response");
      state_ = State::kChunkSize;
      break;
    case State::kTrailer:
      if (line_.empty()) state_ = State::kDone;
      break;
    default:
      break;
  }
  line_.clear();
}

void THttpResponseParser::OnStatusLine() {
  if (StartsWithHtmlTag(line_)) {
    line_ += '\n';
    Emit(line_.data(), line_.size());
    header_.contentType = "text/html";
    untilClose_ = true;
    state_ = State::kBodyUntilClose;
    return;
  }
  if (line_.empty()) return;  // stray line ends before the status line
  const std::string_view line = line_;
  if (line.substr(0, 5) != "HTTP/" || line.size() < 12 || line[8] != ' ' || !IsDigit(line[9]) ||
      !IsDigit(line[10]) || !IsDigit(line[11]) || (line.size() > 12 && line[12] != ' ')) {
    Fail("Invalid HTTP status line");
  }
  header_ = THttpResponseHeader{};
  header_.version = line.substr(5, 3);
  header_.statusCode = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  if (line.size() > 13) header_.reasonPhrase = line.substr(13);
  state_ = State::kHeaderLine;
}

void THttpResponseParser::OnHeaderLine() {
  if (line_.empty()) {
    OnHeaderEnd();
    return;
  }
  const size_t colon = line_.find(':');
  if (colon == std::string::npos) return;
  const std::string name = AsciiLower(TrimSpacesAndTabs(std::string_view(line_).substr(0, colon)));
  const std::string value(TrimSpacesAndTabs(std::string_view(line_).substr(colon + 1)));
  if (name == "location") {
    header_.location = value;
  } else if (name == "content-length") {
    header_.contentLength = ParseLength(value);
  } else if (name == "transfer-encoding") {
    header_.transferEncoding = value;
  } else if (name == "content-type") {
    header_.contentType = AsciiLower(value);
  } else if (name == "connection" || name == "proxy-connection") {
    if (HasToken(value, "close")) header_.keepAlive = false;
    if (HasToken(value, "keep-alive")) header_.keepAlive = true;
  } else if (name == "set-cookie") {
    header_.setCookies.push_back(value);
  } else if (name == "content-range") {
    header_.contentRange = value;
  } else if (name == "accept-ranges") {
    header_.acceptRanges = value;
  } else if (name == "www-authenticate") {
    header_.wwwAuthenticate = value;
  } else if (name == "proxy-authenticate") {
    header_.proxyAuthenticate = value;
  }
}

void THttpResponseParser::OnHeaderEnd() {
  const int status = header_.statusCode;
  if (status >= 100 && status < 200) {  // interim: the real response follows
    if (++interimResponses_ > kHttpMaxInterimResponses) {
      Fail("Too many interim HTTP responses (more than " +
           std::to_string(kHttpMaxInterimResponses) + ")");
    }
    state_ = State::kStatusLine;
    return;
  }
  const bool chunked = HasToken(header_.transferEncoding, "chunked");
  if (status == 204 || status == 304) {
    state_ = State::kDone;
  } else if (chunked) {
    state_ = State::kChunkSize;
  } else if (header_.contentLength >= 0) {
    remaining_ = header_.contentLength;
    state_ = remaining_ == 0 ? State::kDone : State::kBodyLength;
  } else if (status == 301 || status == 302) {
    state_ = State::kDone;
  } else {
    untilClose_ = true;
    state_ = State::kBodyUntilClose;
  }
}

void THttpResponseParser::OnChunkSizeLine() {
  const std::string_view line = TrimSpacesAndTabs(line_);
  int64_t size = 0;
  size_t digits = 0;
  for (; digits < line.size() && std::isxdigit(static_cast<unsigned char>(line[digits]));
       ++digits) {
    if (size > (INT64_MAX >> 4)) Fail("Invalid chunk size in the HTTP response");
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[digits])));
    size = size * 16 + (IsDigit(c) ? c - '0' : c - 'a' + 10);
  }
  if (digits == 0) Fail("Invalid chunk size in the HTTP response");
  remaining_ = size;
  state_ = size == 0 ? State::kTrailer : State::kChunkData;
}

void THttpResponseParser::Emit(const char* data, size_t size) {
  if (size == 0) return;
  bodyBytes_ += static_cast<int64_t>(size);
  sink_(data, size);
}

}  // namespace vexmoor
