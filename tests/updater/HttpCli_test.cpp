#include "updater/HttpCli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/Socket.h"
#include "support/RandomData.h"
#include "updater/ScriptedServer.h"

namespace vexmoor {
namespace {

using namespace std::chrono_literals;
using test::ScriptedServer;
using test::ServerConnection;

std::string ExpectedRequest(const std::string& path) {
  return "GET " + path +
         " HTTP/1.0\r\n"
         "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
         "User-Agent: Mozilla/4.0 (compatible; ICS)\r\n"
         "Host: 127.0.0.1\r\n"
         "Pragma: no-cache\r\n"
         "\r\n";
}

// Answers every request of every connection with `response` and closes.
ScriptedServer::Script Always(std::string response) {
  return [response](ServerConnection& connection) {
    if (!connection.ReadRequest().empty()) connection.Send(response);
  };
}

// A client whose received blocks are counted, with a short idle time-out.
struct Client {
  THttpCli http;
  std::string body;
  std::string seen;  // everything the data event saw
  int blocks = 0;
  int pumps = 0;

  explicit Client(const std::string& url) {
    http.SetURL(url);
    http.SetRcvdStream(&body);
    http.SetOnDocData([this](THttpCli&, const char* data, size_t size) {
      seen.append(data, size);
      ++blocks;
    });
    http.SetOnPump([this] { ++pumps; });
    http.SetIdleTimeout(3s);
  }

  // Runs Get and returns the failure text, "" when it succeeded.
  std::string Failure() {
    try {
      http.Get();
      return "";
    } catch (const EHttpException& error) {
      return error.what();
    }
  }
};

std::string TimedOutText() {
  const SocketError error = SocketTimedOutError();
  return std::string(error.what()) + " (Error #" + std::to_string(error.Code()) + ")";
}

TEST(HttpCli, SendsTheRequestByteForByteAndReadsBodyByLength) {
  ScriptedServer server(
      Always("HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Type: Text/Plain\r\n\r\nhello"));
  Client client(server.Url("/dir/list.cgi?x=1"));
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(client.body, "hello");
  EXPECT_EQ(client.seen, "hello");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], ExpectedRequest("/dir/list.cgi?x=1"));
  EXPECT_EQ(client.http.StatusCode(), 200);
  EXPECT_EQ(client.http.ReasonPhrase(), "OK");
  EXPECT_EQ(client.http.ContentLength(), 5);
  EXPECT_EQ(client.http.ContentType(), "text/plain");
}

TEST(HttpCli, DecodesChunksArrivingInPieces) {
  ScriptedServer server([](ServerConnection& connection) {
    connection.ReadRequest();
    const std::string pieces[] = {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=v",
                                  "alue\r\nhel",
                                  "lo\r\n1",
                                  "A\r\nabcdefghijklmnopqrstuvwxyz\r\n",
                                  "0\r\nX-Trailer: 1\r\n",
                                  "\r\n"};
    for (const std::string& piece : pieces) {
      connection.Send(piece);
      std::this_thread::sleep_for(5ms);
    }
    connection.WaitForClose();  // the body ends by its last chunk, not by a close
  });
  Client client(server.Url("/"));
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(client.body, "helloabcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(client.seen, client.body);
  EXPECT_GE(client.blocks, 2);
}

TEST(HttpCli, ReadsUntilCloseWithoutContentLengthAndSkipsInterim100) {
  ScriptedServer server(Always("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\nto the end"));
  Client client(server.Url("/"));
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(client.body, "to the end");
  EXPECT_EQ(client.http.StatusCode(), 200);
  EXPECT_EQ(client.http.ContentLength(), -1);
}

TEST(HttpCli, ReusesAKeptConnectionAndReplacesOneTheServerDropped) {
  ScriptedServer server([](ServerConnection& connection) {
    // Two answers on the first connection, then it is dropped while idle.
    for (int i = 0; i < 2; ++i) {
      if (connection.ReadRequest().empty()) return;
      connection.Send("HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nok");
    }
  });
  Client client(server.Url("/a"));
  for (int i = 0; i < 3; ++i) {
    client.body.clear();
    EXPECT_EQ(client.Failure(), "") << i;
    EXPECT_EQ(client.body, "ok") << i;
    if (i == 1) {
      EXPECT_EQ(server.Connections(), 1);
      std::this_thread::sleep_for(50ms);  // lets the server close its side
    }
  }
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(server.Requests().size(), 3u);
}

TEST(HttpCli, ClosesTheConnectionUnlessAskedToKeepIt) {
  ScriptedServer server([](ServerConnection& connection) {
    connection.ReadRequest();
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    connection.WaitForClose();
  });
  Client client(server.Url("/"));
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(server.Connections(), 2);
}

TEST(HttpCli, FollowsRedirectsWhoseBodiesNeverReachTheStreamOrSink) {
  ScriptedServer server([](ServerConnection& connection) {
    const std::string request = connection.ReadRequest();
    if (request.starts_with("GET /start ")) {
      connection.Send(
          "HTTP/1.0 302 Found\r\nLocation: sub/next?q=1\r\nContent-Length: 5\r\n\r\nfirst");
    } else if (request.starts_with("GET /sub/next?q=1 ")) {
      connection.Send("HTTP/1.0 301 Moved\r\nLocation: /final\r\n\r\n");
    } else {
      connection.Send("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\ndone");
    }
  });
  Client client(server.Url("/start"));
  client.body = "kept";
  std::string sunk;
  client.http.SetRcvdSink([&](const char* data, size_t size) { sunk.append(data, size); });
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(client.body, "keptdone");
  EXPECT_EQ(sunk, "done");
  EXPECT_EQ(client.seen, "firstdone");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1], ExpectedRequest("/sub/next?q=1"));
  EXPECT_EQ(requests[2], ExpectedRequest("/final"));
}

TEST(HttpCli, GivesUpARedirectLoopAfterTenRedirects) {
  ScriptedServer server(
      Always("HTTP/1.0 302 Found\r\nLocation: /loop\r\nContent-Length: 5\r\n\r\nmoved"));
  Client client(server.Url("/loop"));
  EXPECT_EQ(client.Failure(), "Too many redirections (more than 10)");
  EXPECT_EQ(server.Requests().size(), 11u);
  EXPECT_EQ(client.http.StatusCode(), 404);
  EXPECT_EQ(client.body, "");
}

TEST(HttpCli, ServerErrorStatusesRaiseWithTheReasonPhraseAndStatus) {
  ScriptedServer server(
      Always("HTTP/1.0 503 Service Unavailable Now\r\nContent-Length: 4\r\n\r\nbusy"));
  Client client(server.Url("/"));
  try {
    client.http.Get();
    FAIL() << "no exception";
  } catch (const EHttpException& error) {
    EXPECT_STREQ(error.what(), "Service Unavailable Now");
    EXPECT_EQ(error.Status(), 503);
  }
  EXPECT_EQ(client.body, "busy");  // the body that came stays
}

TEST(HttpCli, FailsOnAHeaderLineOverTheLimit) {
  ScriptedServer server(
      Always("HTTP/1.0 200 OK\r\nX-Long: " + std::string(8200, 'a') + "\r\n\r\nbody"));
  Client client(server.Url("/"));
  EXPECT_EQ(client.Failure(), "HTTP line too long");
  EXPECT_EQ(client.http.StatusCode(), 404);
  EXPECT_EQ(client.http.ReasonPhrase(), "HTTP line too long");
}

// Sends `start`, then `repeat` again and again until the client goes away
// (or a bound far past every limit of the client).
ScriptedServer::Script Endless(std::string start, std::string repeat) {
  return [start, repeat](ServerConnection& connection) {
    if (connection.ReadRequest().empty() || !connection.Send(start)) return;
    std::string block;
    while (block.size() < 64 * 1024) block += repeat;
    for (int i = 0; i < 100000 && connection.Send(block); ++i) {
    }
  };
}

// Each of these once read for ever (or until memory ran out): now each ends
// with the error of the limit it runs into, within seconds, and nothing of
// it reaches the stream.
TEST(HttpCli, EndlessResponsesEndWithTheirLimitsError) {
  struct Case {
    std::string start;
    std::string repeat;
    std::string failure;
  };
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (const Case& test : {
           Case{"HTTP/1.0 200 OK\r\n", "Set-Cookie: session=0123456789abcdef\r\n",
                "HTTP response header too long (more than 100 lines)"},
           Case{"HTTP/1.0 200 OK\r\n", "X-Pad: " + std::string(8000, 'p') + "\r\n",
                "HTTP response header too long (more than 64 KiB)"},
           Case{"", "HTTP/1.1 100 Continue\r\n\r\n",
                "Too many interim HTTP responses (more than 10)"},
           Case{chunked + "2\r\nok\r\n0\r\n", "X-Trailer: 1\r\n",
                "HTTP chunk trailer too long (more than 100 lines)"},
           Case{"HTTP/1.0 307 Temporary Redirect\r\nLocation: /next\r\n\r\n", "moved ",
                "Redirect response body too long (more than 64 KiB)"},
           Case{"HTTP/1.0 302 Found\r\nLocation: /next\r\nContent-Length: 99999999999\r\n\r\n",
                "moved ", "Redirect response body too long (more than 64 KiB)"},
           Case{"HTTP/1.1 301 Moved\r\nLocation: /next\r\nTransfer-Encoding: chunked\r\n\r\n",
                "6\r\nmoved \r\n", "Redirect response body too long (more than 64 KiB)"},
       }) {
    ScriptedServer server(Endless(test.start, test.repeat));
    Client client(server.Url("/"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Failure(), test.failure) << test.repeat;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << test.repeat;
    EXPECT_EQ(client.http.StatusCode(), 404);
    EXPECT_LE(client.body.size(), 2u);
    EXPECT_EQ(server.Requests().size(), 1u);  // no redirect was followed
  }
}

TEST(HttpCli, FailsOnABodyShorterThanItsContentLength) {
  ScriptedServer server(
      Always("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(40, 'x')));
  Client client(server.Url("/"));
  EXPECT_EQ(client.Failure(), "Connection closed after 40 of 100 bytes of the response body");
  EXPECT_EQ(client.body, std::string(40, 'x'));
}

TEST(HttpCli, FailsOnAnUnfinishedChunkedBody) {
  ScriptedServer server(
      Always("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"));
  Client client(server.Url("/"));
  EXPECT_EQ(client.Failure(), "Connection closed before the end of the chunked response body");
}

TEST(HttpCli, SilentServersTimeOutWhileThePumpRuns) {
  for (const std::string& start :
       {std::string(), std::string("HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\npart")}) {
    ScriptedServer server([start](ServerConnection& connection) {
      connection.ReadRequest();
      connection.Send(start);
      connection.WaitForClose();
    });
    Client client(server.Url("/"));
    client.http.SetIdleTimeout(300ms);
    EXPECT_EQ(client.Failure(), TimedOutText());
    EXPECT_GE(client.pumps, 1);
  }
}

// A server that sends a byte every 10 ms never lets the idle time-out fire.
TEST(HttpCli, TheLowSpeedLimitEndsATrickleInTheHeaderOrTheBody) {
  struct Case {
    std::string start;
    size_t bytes;
    std::chrono::milliseconds time;
    std::string limit;
  };
  for (const Case& test :
       {Case{"HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n", 1024, 300ms, "1 KiB in 300 ms"},
        Case{"HTTP/1.0 200 OK\r\nX-Endless: ", 100, 200ms, "100 bytes in 200 ms"}}) {
    ScriptedServer server([&test](ServerConnection& connection) {
      connection.ReadRequest();
      connection.Send(test.start);
      connection.Trickle(std::string(100000, 'x'), 1, 10ms);
    });
    Client client(server.Url("/slow/file.qdat?x=1"));
    client.http.SetLowSpeedLimit(test.bytes, test.time);
    EXPECT_EQ(client.Failure(), server.Url("/slow/file.qdat?x=1") +
                                    ": the transfer is too slow: less than " + test.limit);
    EXPECT_EQ(client.http.StatusCode(), 404);
    EXPECT_LT(client.body.size(), 1000u);
  }
}

TEST(HttpCli, ASlowButMovingBodyCompletes) {
  const std::string body = test::RandomBytes(3000, 7);
  ScriptedServer server([&body](ServerConnection& connection) {
    connection.ReadRequest();
    connection.Send("HTTP/1.0 200 OK\r\nContent-Length: 3000\r\n\r\n");
    connection.Trickle(body, 100, 20ms);  // ten times the limit
  });
  Client client(server.Url("/"));
  client.http.SetLowSpeedLimit(100, 200ms);
  EXPECT_EQ(client.Failure(), "");
  EXPECT_TRUE(client.body == body);
}

TEST(HttpCli, PumpsBetweenWaitsOfAtMostASecond) {
  ScriptedServer server([](ServerConnection& connection) {
    connection.ReadRequest();
    std::this_thread::sleep_for(1200ms);
    connection.Send("HTTP/1.0 200 OK\r\n\r\nlate");
  });
  Client client(server.Url("/"));
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(client.body, "late");
  EXPECT_GE(client.pumps, 2);
}

TEST(HttpCli, AShorterWaitSlicePumpsMoreOften) {
  ScriptedServer server([](ServerConnection& connection) {
    connection.ReadRequest();
    std::this_thread::sleep_for(500ms);
    connection.Send("HTTP/1.0 200 OK\r\n\r\nlate");
  });
  Client client(server.Url("/"));
  client.http.SetWaitSlice(20ms);
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(client.body, "late");
  EXPECT_GE(client.pumps, 10);
}

TEST(HttpCli, AbortFromThePumpEndsTheWaitAndStaysUntilCleared) {
  ScriptedServer server([](ServerConnection& connection) {
    connection.ReadRequest();
    connection.WaitForClose();
  });
  Client client(server.Url("/"));
  client.http.SetOnPump([&client] { client.http.Abort(); });
  EXPECT_EQ(client.Failure(), "Connection aborted on request");
  EXPECT_EQ(client.http.StatusCode(), 404);
  EXPECT_EQ(client.Failure(), "Connection aborted on request");
  EXPECT_EQ(server.Connections(), 1);  // the second Get did not even connect
  client.http.ClearAbort();
  EXPECT_TRUE(client.http.AbortRequested() == false);
}

TEST(HttpCli, GetFromAnEventWhileBusyIsRefused) {
  ScriptedServer server(Always("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"));
  Client client(server.Url("/"));
  std::string inner;
  client.http.SetOnDocData([&](THttpCli& sender, const char*, size_t) {
    EXPECT_TRUE(sender.Busy());
    try {
      sender.Get();
    } catch (const EHttpException& error) {
      inner = error.what();
    }
  });
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(inner, "HTTP component is busy");
  EXPECT_EQ(client.body, "ok");
  EXPECT_FALSE(client.http.Busy());
}

TEST(HttpCli, ResolvesNamesAndTriesEachAddress) {
  // "localhost" may resolve to ::1 first, where nobody listens.
  ScriptedServer server(Always("HTTP/1.0 200 OK\r\n\r\nlocal"));
  Client client("http://localhost:" + std::to_string(server.Port()) + "/");
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(client.body, "local");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(server.Requests()[0].find("\r\nHost: localhost\r\n"), std::string::npos);
}

TEST(HttpCli, ReportsConnectionFailuresWithTheSystemText) {
  Client client("http://127.0.0.1:" + std::to_string(test::UnusedLoopbackPort()) + "/");
  const std::string failure = client.Failure();
  EXPECT_TRUE(failure.starts_with("can't connect: ")) << failure;
  EXPECT_NE(failure.find(" (Error #"), std::string::npos) << failure;
  EXPECT_EQ(client.http.StatusCode(), 404);

  client.http.SetURL("ftp://127.0.0.1/file");
  EXPECT_NE(client.Failure().find("Unsupported URL scheme"), std::string::npos);
}

TEST(HttpCli, AcceptsAnAnswerWithoutHeader) {
  ScriptedServer server(Always("<html><body>old server</body></html>\n"));
  Client client(server.Url("/"));
  EXPECT_EQ(client.Failure(), "");
  EXPECT_EQ(client.body, "<html><body>old server</body></html>\n");
  EXPECT_EQ(client.http.ContentType(), "text/html");
}

}  // namespace
}  // namespace vexmoor
