#include "updater/HttpResponse.h"

#include <gtest/gtest.h>

#include <string>

#include "updater/HttpException.h"

namespace vexmoor {
namespace {

struct Parsed {
  std::string body;
  int blocks = 0;
  size_t used = 0;
};

// Feeds `response` in pieces of `piece` bytes until the parser completes.
Parsed Parse(THttpResponseParser& parser, const std::string& response, size_t piece) {
  Parsed result;
  for (size_t at = 0; at < response.size() && !parser.Complete(); at += piece) {
    const size_t size = std::min(piece, response.size() - at);
    result.used += parser.Feed(response.data() + at, size);
  }
  return result;
}

std::string Failure(const std::string& response, bool end = false) {
  THttpResponseParser parser([](const char*, size_t) {});
  try {
    parser.Feed(response.data(), response.size());
    if (end) parser.FeedEnd();
  } catch (const EHttpException& error) {
    return error.what();
  }
  return "";
}

class ParserTest : public ::testing::Test {
 protected:
  THttpResponseParser parser_{[this](const char* data, size_t size) {
    body_.append(data, size);
    ++blocks_;
  }};
  std::string body_;
  int blocks_ = 0;
};

TEST(HttpResponse, ChunkedBodyDecodesAlikeAtEverySplit) {
  const std::string response =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n"
      "5;ext=\"x\"\r\nhello\r\n1a\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\nX-Sum: 1\r\n\r\nNEXT";
  for (size_t piece = 1; piece <= response.size(); ++piece) {
    std::string body;
    THttpResponseParser parser([&body](const char* data, size_t size) { body.append(data, size); });
    const Parsed parsed = Parse(parser, response, piece);
    ASSERT_TRUE(parser.Complete()) << piece;
    EXPECT_EQ(body, "helloabcdefghijklmnopqrstuvwxyz") << piece;
    EXPECT_EQ(parsed.used, response.size() - 4) << piece;  // "NEXT" is not ours
    EXPECT_EQ(parser.BodyBytes(), 31);
  }
}

TEST_F(ParserTest, ReadsTheStatusLineAndTheUsedHeaders) {
  Parse(parser_,
        "\r\nHTTP/1.1 206 Partial Content\r\nCONTENT-LENGTH:  3 \r\nContent-Type: Text/HTML; "
        "Charset=X\r\n"
        "Location: /x\r\nSet-Cookie: a=1\r\nSet-Cookie: b=2\r\nContent-Range: bytes 0-2/9\r\n"
        "Accept-Ranges: bytes\r\nWWW-Authenticate: Basic\r\nProxy-Authenticate: None\r\n"
        "no colon here\r\nConnection: Keep-Alive\r\n\r\nabc",
        1000);
  const THttpResponseHeader& header = parser_.Header();
  EXPECT_EQ(header.version, "1.1");
  EXPECT_EQ(header.statusCode, 206);
  EXPECT_EQ(header.reasonPhrase, "Partial Content");
  EXPECT_EQ(header.contentLength, 3);
  EXPECT_EQ(header.contentType, "text/html; charset=x");
  EXPECT_EQ(header.location, "/x");
  EXPECT_EQ(header.setCookies, (std::vector<std::string>{"a=1", "b=2"}));
  EXPECT_EQ(header.contentRange, "bytes 0-2/9");
  EXPECT_EQ(header.acceptRanges, "bytes");
  EXPECT_EQ(header.wwwAuthenticate, "Basic");
  EXPECT_EQ(header.proxyAuthenticate, "None");
  EXPECT_TRUE(header.keepAlive);
  EXPECT_TRUE(parser_.Complete());
  EXPECT_TRUE(parser_.ConnectionReusable());
  EXPECT_EQ(body_, "abc");
}

TEST_F(ParserTest, StatusLineWithoutReasonAndLengthThatIsNoNumber) {
  Parse(parser_, "HTTP/1.0 200\nContent-Length: 12x\n\nrest", 1000);
  EXPECT_EQ(parser_.Header().statusCode, 200);
  EXPECT_EQ(parser_.Header().reasonPhrase, "");
  EXPECT_EQ(parser_.Header().contentLength, -1);
  EXPECT_FALSE(parser_.Complete());
  parser_.FeedEnd();
  EXPECT_EQ(body_, "rest");
  EXPECT_FALSE(parser_.ConnectionReusable());
}

TEST(HttpResponse, RefusesMalformedStatusLines) {
  for (const char* bad : {"HTTP/1.1 2x0 OK\r\n", "HTTP/1.1 20\r\n", "HTTP/1.1 200OK\r\n",
                          "ICY 200 OK\r\n", "Garbage\r\n"}) {
    EXPECT_EQ(Failure(bad), "Invalid HTTP status line") << bad;
  }
}

TEST_F(ParserTest, AnswerWithoutHeaderIsAllBody) {
  const std::string page = "<HtMl>" + std::string(9000, 'x') + "\r\nline 2\r\n";
  Parse(parser_, page, 7);
  parser_.FeedEnd();
  EXPECT_EQ(body_, page);
  EXPECT_EQ(parser_.Header().contentType, "text/html");
  EXPECT_EQ(parser_.Header().statusCode, 0);
}

TEST(HttpResponse, LinesUpTo8192BytesPass) {
  const std::string header = "HTTP/1.0 200 OK\r\nX: ";
  const std::string fits = header + std::string(8192 - 3, 'a');
  EXPECT_EQ(Failure(fits + "\r\n\r\n"), "");
  EXPECT_EQ(Failure(fits + "\n\n"), "");
  EXPECT_EQ(Failure(fits + "a\r\n\r\n"), "HTTP line too long");
  EXPECT_EQ(Failure(fits + std::string(100000, 'a')), "HTTP line too long");
  EXPECT_EQ(
      Failure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(9000, '0')),
      "HTTP line too long");
}

// Every part around the body has a limit: a head of endless lines (Set-Cookie
// lines grew memory to gigabytes once), endless interim replies, an endless
// trailer, chunk framing without body.
TEST(HttpResponse, EachPartBesideTheBodyHasALimit) {
  const std::string status = "HTTP/1.1 200 OK\r\n";
  std::string cookies = status;
  for (int i = 0; i < 98; ++i) cookies += "Set-Cookie: c" + std::to_string(i) + "=1\r\n";
  EXPECT_EQ(Failure(cookies + "\r\n"), "");  // 100 lines with the empty one
  EXPECT_EQ(Failure(cookies + "Set-Cookie: one=more\r\n\r\n"),
            "HTTP response header too long (more than 100 lines)");
  EXPECT_EQ(Failure(std::string(200, '\n')), "HTTP response header too long (more than 100 lines)");
  const std::string long8k = "X: " + std::string(8000, 'a') + "\r\n";
  std::string big = status;
  for (int i = 0; i < 9; ++i) big += long8k;
  EXPECT_EQ(Failure(big), "HTTP response header too long (more than 64 KiB)");

  std::string interim;
  for (int i = 0; i < 10; ++i) interim += "HTTP/1.1 100 Continue\r\n\r\n";
  EXPECT_EQ(Failure(interim + "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), "");
  EXPECT_EQ(Failure(interim + "HTTP/1.1 102 Processing\r\n\r\n"),
            "Too many interim HTTP responses (more than 10)");

  const std::string chunked =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n";
  std::string trailer = chunked;
  for (int i = 0; i < 99; ++i) trailer += "X-T: 1\r\n";
  EXPECT_EQ(Failure(trailer + "\r\n"), "");
  EXPECT_EQ(Failure(trailer + "X-T: 1\r\n\r\n"),
            "HTTP chunk trailer too long (more than 100 lines)");
  trailer = chunked;
  for (int i = 0; i < 9; ++i) trailer += long8k;
  EXPECT_EQ(Failure(trailer), "HTTP chunk trailer too long (more than 64 KiB)");

  // One-byte chunks pass; long chunk extensions around them do not.
  std::string tiny = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int i = 0; i < 20000; ++i) tiny += "1\r\nx\r\n";
  EXPECT_EQ(Failure(tiny + "0\r\n\r\n"), "");
  std::string extended = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int i = 0; i < 100; ++i) extended += "1;" + std::string(4000, 'e') + "\r\nx\r\n";
  EXPECT_EQ(Failure(extended), "Chunk framing too long for the body in the HTTP response");
}

TEST_F(ParserTest, AHeaderlessAnswerIsNotHeldToTheHeadLimits) {
  const std::string page = "<html>" + std::string(200000, 'x') + "\n" + std::string(300, '\n');
  Parse(parser_, page, 70000);
  parser_.FeedEnd();
  EXPECT_EQ(body_, page);
}

TEST_F(ParserTest, InterimResponsesAreDropped) {
  Parse(parser_,
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: x\r\n\r\n"
        "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
        3);
  EXPECT_EQ(parser_.Header().statusCode, 200);
  EXPECT_EQ(body_, "ok");
  EXPECT_TRUE(parser_.Complete());
}

TEST(HttpResponse, StatusesWithoutBody) {
  const std::pair<const char*, bool> cases[] = {
      {"HTTP/1.1 204 No Content\r\nContent-Length: 10\r\n\r\n", true},
      {"HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n", true},
      {"HTTP/1.0 301 Moved\r\nLocation: /\r\n\r\n", true},
      {"HTTP/1.0 302 Found\r\nLocation: /\r\n\r\n", true},
      {"HTTP/1.0 302 Found\r\nContent-Length: 3\r\n\r\n", false},
      {"HTTP/1.0 303 See Other\r\n\r\n", false},
      {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", true},
  };
  for (const auto& [response, complete] : cases) {
    THttpResponseParser parser([](const char*, size_t) {});
    parser.Feed(response, std::char_traits<char>::length(response));
    EXPECT_TRUE(parser.HeaderComplete()) << response;
    EXPECT_EQ(parser.Complete(), complete) << response;
  }
}

TEST(HttpResponse, RefusesBrokenChunks) {
  const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  EXPECT_EQ(Failure(head + "zz\r\n"), "Invalid chunk size in the HTTP response");
  EXPECT_EQ(Failure(head + "\r\n"), "Invalid chunk size in the HTTP response");
  EXPECT_EQ(Failure(head + "fffffffffffffffff\r\n"), "Invalid chunk size in the HTTP response");
  EXPECT_EQ(Failure(head + "3\r\nabcd\r\n"), "Invalid chunked encoding in the HTTP response");
}

TEST(HttpResponse, ConnectionClosedEarly) {
  EXPECT_EQ(Failure("", true), "Connection closed without a response");
  EXPECT_EQ(Failure("HTTP/1.0 200 OK\r\nContent-", true),
            "Connection closed before the end of the response header");
  EXPECT_EQ(Failure("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n123", true),
            "Connection closed after 3 of 10 bytes of the response body");
  EXPECT_EQ(Failure("HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nab", true),
            "Connection closed before the end of the chunked response body");
  EXPECT_EQ(Failure("HTTP/1.0 200 OK\r\n\r\nall", true), "");
}

TEST(HttpResponse, KeepsTheConnectionOnlyWhenAskedAndTheEndWasKnown) {
  const std::pair<const char*, bool> cases[] = {
      {"HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 1\r\n\r\nx", true},
      {"HTTP/1.0 200 OK\r\nProxy-Connection: Keep-Alive\r\nContent-Length: 1\r\n\r\nx", true},
      {"HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx", false},
      {"HTTP/1.1 200 OK\r\nConnection: keep-alive, close\r\nContent-Length: 1\r\n\r\nx", true},
      {"HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nConnection: close\r\nContent-Length: "
       "1\r\n\r\nx",
       false},
  };
  for (const auto& [response, reusable] : cases) {
    THttpResponseParser parser([](const char*, size_t) {});
    parser.Feed(response, std::char_traits<char>::length(response));
    EXPECT_EQ(parser.ConnectionReusable(), reusable) << response;
  }
}

}  // namespace
}  // namespace vexmoor
