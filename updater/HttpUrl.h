// Addresses and requests of the HTTP client: splitting a URL, following a
// redirect's location, and the exact bytes of a GET request.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexmoor {

// The request header values the client sends; the update service sees them.
inline constexpr std::string_view kHttpRequestVer = "1.0";
inline constexpr std::string_view kHttpAgent = "Mozilla/4.0 (compatible; ICS)";
inline constexpr std::string_view kHttpAccept =
    "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";

// A URL split into the parts the client uses. "http://user:pw@host:81/a?b"
// gives scheme "http", user "user", password "pw", host "host", port 81 and
// path "/a?b". A missing port is 80 for "http" and 443 for "https", a
// missing path "/".
struct THttpUrl {
  std::string scheme = "http";
  std::string user;
  std::string password;
  std::string host;  // without brackets for an IPv6 literal
  uint16_t port = 80;
  std::string path = "/";  // what the request line carries, query included
};

// Splits `url`; a URL without "scheme://" is taken as http. Throws
// EHttpException for an empty host or one with spaces or control bytes, a port that is not a number
// from 1 to 65535, or a scheme other than http and https. A fragment ("#...") is dropped, and
// spaces, control characters and bytes above 126 in the path are sent percent-encoded so that they
// cannot break the request line.
THttpUrl SplitHttpUrl(std::string_view url);

// The address a redirect leads to from `current`:
//  - a location beginning with "/" keeps scheme, host and port;
//  - one that begins with "http://" or "https://" (any case) is a full URL;
//    from an https address only another https address is followed: the
//    way back to plain http throws EHttpException;
//  - one that names another scheme ("ftp://...") throws EHttpException;
//  - anything else is relative: appended to the current path cut after its
//    last "/" or ":" before any "?".
THttpUrl ResolveLocation(const THttpUrl& current, std::string_view location);

// `url` as a message shows it: "scheme://host[:port]path", the port only
// when it is not the scheme's own (80, 443), an IPv6 host in brackets, user and password left out.
std::string HttpUrlText(const THttpUrl& url);

// The GET request for `url`, byte for byte: the request line, then Accept,
// User-Agent, Host (without the port) and "Pragma: no-cache", each ended by
// CR LF, then an empty line.
std::string BuildHttpRequest(const THttpUrl& url);

}  // namespace vexmoor
