// THttpCli: the updater's HTTP/1.0 download client. It issues synchronous GET
// requests over plain TCP or, for https:// addresses, over TLS with the
// server's certificate checked against the system's CA store, follows
// redirects (never from https back to http), reuses a connection the server
// keeps open, and hands each received block of the body to the caller.
//
//   THttpCli http;
//   std::string body;
//   http.SetURL("http://example.org/update/update2.cgi");
//   http.SetRcvdStream(&body);  // or SetRcvdSink to write it elsewhere
//   http.SetOnPump([] { /* process window messages */ });
//   http.Get();  // throws EHttpException on failure or a status >= 402
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "updater/HttpException.h"
#include "updater/HttpResponse.h"
#include "updater/HttpUrl.h"

namespace vexmoor {

class TTcpSocket;

class THttpCli {
 public:
  // Called for every block of body data, after the block was appended to the
  // RcvdStream; `data` is valid only during the call.
  using DocDataEvent = std::function<void(THttpCli& sender, const char* data, size_t size)>;
  // Takes the final response's body block by block; `data` is valid only
  // during the call. What it throws ends the request and leaves Get.
  using RcvdSink = std::function<void(const char* data, size_t size)>;
  // Called between two waits on the connection, at least once a second while
  // a request runs: the window processes its pending messages here.
  using PumpEvent = std::function<void()>;

  // The longest single wait on the connection; the pump runs between waits.
  static constexpr std::chrono::milliseconds kWaitSlice{1000};
  static constexpr std::chrono::milliseconds kDefaultIdleTimeout{30000};
  // Redirects followed for one Get; one more fails the request.
  static constexpr int kMaxRedirects = 10;
  // The most a redirect response's body may bring; it reaches neither the
  // RcvdStream nor the RcvdSink, so their caps do not hold it.
  static constexpr size_t kMaxRedirectBodySize = 64 * 1024;
  // The low-speed limit: less than 1 KiB of a response in 60 s fails it.
  static constexpr size_t kDefaultLowSpeedBytes = 1024;
  static constexpr std::chrono::milliseconds kDefaultLowSpeedTime{60000};

  THttpCli();
  ~THttpCli();
  THttpCli(const THttpCli&) = delete;
  THttpCli& operator=(const THttpCli&) = delete;

  // "http://" or "https://", host, optional ":" port, path with optional
  // query.
  void SetURL(std::string url) { url_ = std::move(url); }
  const std::string& URL() const { return url_; }
  // Receives the final response's body, appended to what the string holds.
  // Owned by the caller; it must outlive Get. May be null (the data event
  // still runs).
  void SetRcvdStream(std::string* stream) { rcvdStream_ = stream; }
  // Also receives the final response's body, after the RcvdStream; empty
  // for none. The bodies of redirect responses reach neither.
  void SetRcvdSink(RcvdSink sink) { rcvdSink_ = std::move(sink); }
  void SetOnDocData(DocDataEvent handler) { onDocData_ = std::move(handler); }
  void SetOnPump(PumpEvent handler) { onPump_ = std::move(handler); }
  // A connection attempt, or a connection on which nothing arrives, fails
  // after this long. 30 seconds unless changed (tests shorten it).
  void SetIdleTimeout(std::chrono::milliseconds timeout) { idleTimeout_ = timeout; }
  // The longest single wait on the connection, kWaitSlice unless changed (at
  // least 1 ms): a window shortens it so that the pump keeps it responsive
  // while a server is silent.
  void SetWaitSlice(std::chrono::milliseconds slice) {
    waitSlice_ = std::max(slice, std::chrono::milliseconds(1));
  }
  // The request fails when `time` (at least 1 ms) passes without `bytes`
  // more of the response, counted from the request and again from each
  // time `bytes` had arrived: the idle time-out alone lets a server that
  // trickles a byte every few seconds hold a request for ever.
  // kDefaultLowSpeedBytes in kDefaultLowSpeedTime unless changed; 0 bytes
  // turns the limit off.
  void SetLowSpeedLimit(size_t bytes, std::chrono::milliseconds time) {
    lowSpeedBytes_ = bytes;
    lowSpeedTime_ = std::max(time, std::chrono::milliseconds(1));
  }

  // Performs a GET of URL() and returns when the response is complete: its
  // content length met, its last chunk read, or, for a body that runs until
  // the close, the server's orderly close. The whole body of the final
  // response has then gone to the RcvdStream and the RcvdSink (the data
  // event has also seen the bodies of redirect responses). Throws
  // EHttpException:
  //  - with the server's reason phrase and status when the final status is
  //    402 or above (statuses below, 400 and 401 included, return normally);
  //  - with the client's failure text and status 0 when the request failed:
  //    "can't resolve hostname to IP address", "can't connect: TEXT (Error
  //    #N)", "can't connect securely to HOST:PORT: TEXT (Error #N)" for a
  //    failed TLS handshake (an untrusted certificate, another host's
  //    name), "TEXT (Error #N)" for a broken or idle connection, "Connection
  //    aborted on request", "HTTP line too long", a malformed response, a
  //    part of the response over its limit (the header's lines and bytes,
  //    interim replies, a chunk trailer, see HttpResponse.h; a redirect's
  //    body over kMaxRedirectBodySize), a body shorter than its content
  //    length, too many redirects, a redirect from https to http, "URL: the
  //    transfer is too slow: less than 1 KiB in 60 s" (the low-speed limit,
  //    URL the address asked for at the time);
  //  - with "HTTP component is busy" when called while a Get of this client
  //    runs (from the pump or a data event); the running Get goes on.
  // A throw of the RcvdSink or the data event passes through unchanged.
  // The RcvdStream keeps the body bytes that arrived before a failure.
  void Get();

  // Ends a running Get, and fails every later one, with "Connection aborted
  // on request", until ClearAbort. Safe to call from any thread.
  void Abort() { abort_ = true; }
  void ClearAbort() { abort_ = false; }
  bool AbortRequested() const { return abort_; }

  bool Busy() const { return busy_; }
  // The last request's outcome: the final response's status and reason
  // phrase, or 404 and the failure text when the request failed.
  int StatusCode() const { return statusCode_; }
  const std::string& ReasonPhrase() const { return reasonPhrase_; }
  // Values of the final response's header (-1: no content length given).
  const THttpResponseHeader& ResponseHeader() const { return header_; }
  int64_t ContentLength() const { return header_.contentLength; }
  const std::string& ContentType() const { return header_.contentType; }
  const std::string& Location() const { return header_.location; }

 private:
  void Request(THttpUrl url);
  void Exchange(const THttpUrl& url);
  bool TryExchange(const THttpUrl& url, const std::string& request, bool reused,
                   THttpResponseParser& parser);
  bool ReadResponse(const THttpUrl& url, bool reused, THttpResponseParser& parser);
  bool ReuseConnection(const THttpUrl& url);
  void Connect(const THttpUrl& url);
  void OnBody(const THttpResponseParser& parser, const char* data, size_t size);
  int NextWaitMs(std::chrono::steady_clock::time_point since,
                 std::chrono::milliseconds limit) const;
  bool IdleTooLong(std::chrono::steady_clock::time_point since) const;
  void CheckAbort() const;
  void Pump();

  std::string url_;
  std::string* rcvdStream_ = nullptr;
  RcvdSink rcvdSink_;
  DocDataEvent onDocData_;
  PumpEvent onPump_;
  std::chrono::milliseconds idleTimeout_ = kDefaultIdleTimeout;
  std::chrono::milliseconds waitSlice_ = kWaitSlice;
  size_t lowSpeedBytes_ = kDefaultLowSpeedBytes;
  std::chrono::milliseconds lowSpeedTime_ = kDefaultLowSpeedTime;
  std::atomic<bool> abort_ = false;
  bool busy_ = false;
  int statusCode_ = 0;
  std::string reasonPhrase_;
  THttpResponseHeader header_;

  std::unique_ptr<TTcpSocket> socket_;
  std::string connectedTo_;  // "scheme://host:port" of a connection kept open
  std::string buffer_;       // receive buffer
  size_t redirectBodyBytes_ = 0;  // of the response being read
};

}  // namespace vexmoor
