// THttpCli: the updater's HTTP/1.0 download client. It issues synchronous GET
// requests over plain TCP, follows redirects, reuses a connection the server
// keeps open, and hands each received block of the body to the caller.
//
//   THttpCli http;
//   std::string body;
//   http.SetURL("http://example.org/update/update2.cgi");
//   http.SetRcvdStream(&body);
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

class TcpSocket;

class THttpCli {
 public:
  // Called for every block of body data, after the block was appended to the
  // RcvdStream; `data` is valid only during the call.
  using DocDataEvent = std::function<void(THttpCli& sender, const char* data, size_t size)>;
  // Called between two waits on the connection, at least once a second while
  // a request runs: the window processes its pending messages here.
  using PumpEvent = std::function<void()>;

  // The longest single wait on the connection; the pump runs between waits.
  static constexpr std::chrono::milliseconds kWaitSlice{1000};
  static constexpr std::chrono::milliseconds kDefaultIdleTimeout{30000};
  // Redirects followed for one Get; one more fails the request.
  static constexpr int kMaxRedirects = 10;

  THttpCli();
  ~THttpCli();
  THttpCli(const THttpCli&) = delete;
  THttpCli& operator=(const THttpCli&) = delete;

  // "http://" host, optional ":" port, path with optional query.
  void SetURL(std::string url) { url_ = std::move(url); }
  const std::string& URL() const { return url_; }
  // Receives the body, appended to what the string holds. Owned by the
  // caller; it must outlive Get. May be null (the data event still runs).
  void SetRcvdStream(std::string* stream) { rcvdStream_ = stream; }
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

  // Performs a GET of URL() and returns when the response is complete; the
  // whole body of the final response is then in the RcvdStream (the bodies
  // of redirect responses are removed again, but the data event has seen
  // them). Throws EHttpException:
  //  - with the server's reason phrase and status when the final status is
  //    402 or above (statuses below, 400 and 401 included, return normally);
  //  - with the client's failure text and status 0 when the request failed:
  //    "can't resolve hostname to IP address", "can't connect: TEXT (Error
  //    #N)", "TEXT (Error #N)" for a broken or idle connection, "Connection
  //    aborted on request", "HTTP line too long", a malformed response, a
  //    body shorter than its content length, too many redirects;
  //  - with "HTTP component is busy" when called while a Get of this client
  //    runs (from the pump or a data event); the running Get goes on.
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
  bool TryExchange(const std::string& request, bool reused, THttpResponseParser& parser);
  bool ReadResponse(bool reused, THttpResponseParser& parser);
  bool ReuseConnection(const THttpUrl& url);
  void Connect(const THttpUrl& url);
  void OnBody(const char* data, size_t size);
  int NextWaitMs(std::chrono::steady_clock::time_point since) const;
  bool IdleTooLong(std::chrono::steady_clock::time_point since) const;
  void CheckAbort() const;
  void Pump();

  std::string url_;
  std::string* rcvdStream_ = nullptr;
  DocDataEvent onDocData_;
  PumpEvent onPump_;
  std::chrono::milliseconds idleTimeout_ = kDefaultIdleTimeout;
  std::chrono::milliseconds waitSlice_ = kWaitSlice;
  std::atomic<bool> abort_ = false;
  bool busy_ = false;
  int statusCode_ = 0;
  std::string reasonPhrase_;
  THttpResponseHeader header_;

  std::unique_ptr<TcpSocket> socket_;
  std::string connectedTo_;  // "scheme://host:port" of a connection kept open
  std::string buffer_;       // receive buffer
};

}  // namespace vexmoor
