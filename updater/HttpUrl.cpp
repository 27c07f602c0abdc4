#include "updater/HttpUrl.h"

#include <algorithm>
#include <cctype>

#include "catalogue/TextLines.h"
#include "updater/HttpException.h"

namespace vexmoor {

namespace {

constexpr uint16_t kHttpPort = 80;
constexpr uint16_t kHttpsPort = 443;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return AsciiLower(text.substr(0, prefix.size())) == prefix;
}

[[noreturn]] void ThrowBadUrl(std::string_view url) {
  throw EHttpException("Invalid URL: " + std::string(url));
}

// Keeps the request line one line of printable bytes.
std::string EncodePath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 15];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

uint16_t ParsePort(std::string_view text, std::string_view url) {
  if (text.empty() || text.size() > 5) ThrowBadUrl(url);
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') ThrowBadUrl(url);
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) ThrowBadUrl(url);
  return static_cast<uint16_t>(value);
}

// Splits "user:pw@host:port" into `result`.
void SplitAuthority(std::string_view authority, std::string_view url, THttpUrl& result) {
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view credentials = authority.substr(0, at);
    const size_t colon = credentials.find(':');
    result.user = credentials.substr(0, colon);
    if (colon != std::string_view::npos) result.password = credentials.substr(colon + 1);
    authority.remove_prefix(at + 1);
  }
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) ThrowBadUrl(url);
    result.host = authority.substr(1, close - 1);
    const std::string_view rest = authority.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') ThrowBadUrl(url);
    if (!rest.empty()) port = rest.substr(1);
  } else {
    const size_t colon = authority.find(':');
    result.host = authority.substr(0, colon);
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
  }
  const auto unfit = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; };
  if (result.host.empty() || std::any_of(result.host.begin(), result.host.end(), unfit)) {
    ThrowBadUrl(url);
  }
  if (!port.empty() || authority.ends_with(':')) result.port = ParsePort(port, url);
}

}  // namespace

THttpUrl SplitHttpUrl(std::string_view url) {
  THttpUrl result;
  std::string_view rest = url;
  if (const size_t fragment = rest.find('#'); fragment != std::string_view::npos) {
    rest = rest.substr(0, fragment);
  }
  if (const size_t marker = rest.find("://");
      marker != std::string_view::npos && rest.find_first_of("/?") > marker) {
    result.scheme = AsciiLower(rest.substr(0, marker));
    rest.remove_prefix(marker + 3);
  }
  if (result.scheme == "https") {
    result.port = kHttpsPort;
  } else if (result.scheme != "http") {
    throw EHttpException("Unsupported URL scheme \"" + result.scheme + "\": " + std::string(url));
  }
  const size_t pathStart = rest.find_first_of("/?");
  SplitAuthority(rest.substr(0, pathStart), url, result);
  if (pathStart != std::string_view::npos) {
    const std::string_view path = rest.substr(pathStart);
    result.path = EncodePath(path.front() == '?' ? "/" + std::string(path) : std::string(path));
  }
  return result;
}

THttpUrl ResolveLocation(const THttpUrl& current, std::string_view location) {
  if (!location.empty() && location.front() == '/') {
    THttpUrl next = current;
    next.path = EncodePath(location.substr(0, location.find('#')));
    return next;
  }
  if (StartsWithNoCase(location, "http://") || StartsWithNoCase(location, "https://")) {
    THttpUrl next = SplitHttpUrl(location);
    if (current.scheme == "https" && next.scheme != "https") {
      throw EHttpException("Refused a redirect from the secure address " + HttpUrlText(current) +
                           " to the plain http address " + HttpUrlText(next));
    }
    return next;
  }
  const size_t marker = location.find("://");
  if (marker != std::string_view::npos && location.find_first_of("/?") > marker) {
    throw EHttpException("Cannot follow a redirect to " + std::string(location));
  }
  const std::string_view path = current.path;
  const size_t cut = path.substr(0, path.find('?')).find_last_of("/:");
  THttpUrl next = current;
  next.path = std::string(path.substr(0, cut == std::string_view::npos ? 0 : cut + 1));
  next.path += EncodePath(location.substr(0, location.find('#')));
  if (next.path.front() != '/') next.path.insert(0, "/");
  return next;
}

namespace {

std::string HostText(const THttpUrl& url) {
  return url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
}

}  // namespace

std::string HttpUrlText(const THttpUrl& url) {
  std::string text = url.scheme + "://" + HostText(url);
  if (url.port != (url.scheme == "https" ? kHttpsPort : kHttpPort)) {
    text += ":" + std::to_string(url.port);
  }
  return text + url.path;
}

std::string BuildHttpRequest(const THttpUrl& url) {
  std::string request = "GET " + url.path + " HTTP/" + std::string(kHttpRequestVer) + "\r\n";
  request += "Accept: " + std::string(kHttpAccept) + "\r\n";
  request += "User-Agent: " + std::string(kHttpAgent) + "\r\n";
  request += "Host: " + HostText(url) + "\r\n";
  request += "Pragma: no-cache\r\n";
  request += "\r\n";
  return request;
}

}  // namespace vexmoor
