// The client against a real web server on loopback.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/RandomData.h"
#include "support/TempDir.h"
#include "updater/HttpCli.h"
#include "updater/NginxServer.h"

namespace vexmoor {
namespace {

constexpr const char* kDirectives =
    "    absolute_redirect off;\n"
    "    location = /moved { return 302 /; }\n"
    "    location = /docs/old { return 302 new.txt; }\n"
    "    location = /full { return 302 http://127.0.0.1:$server_port/docs/new.txt; }\n"
    "    location = /bad { return 400; }\n"
    "    location = /auth { return 401; }\n"
    "    location = /gone { return 410; }\n";

class HttpNginx : public test::TempDirTest {
 protected:
  void SetUp() override {
    if (test::FindNginx().empty()) GTEST_SKIP() << "nginx is not installed";
    dir_.Write("www/index.html", "<p>index</p>\n");
    dir_.Write("www/docs/new.txt", "new text\n");
    dir_.Write("www/data.bin", data_);
    server_ = std::make_unique<test::NginxServer>(dir_ / "www", kDirectives);
    ASSERT_TRUE(server_->Running()) << server_->ErrorLog();
    http_.SetRcvdStream(&body_);
    http_.SetOnDocData(
        [this](THttpCli&, const char* data, size_t size) { seen_.append(data, size); });
  }

  void Get(const std::string& path) {
    http_.SetURL(server_->Url(path));
    http_.Get();
  }

  const std::string data_ = test::RandomBytes(300 * 1024 + 17, 42);
  std::unique_ptr<test::NginxServer> server_;
  THttpCli http_;
  std::string body_;
  std::string seen_;
};

TEST_F(HttpNginx, DownloadsPlainFiles) {
  Get("/data.bin");
  EXPECT_EQ(http_.StatusCode(), 200);
  EXPECT_EQ(http_.ContentLength(), static_cast<int64_t>(data_.size()));
  EXPECT_TRUE(body_ == data_);
  EXPECT_TRUE(seen_ == data_);

  body_.clear();
  Get("/docs/new.txt");
  EXPECT_EQ(body_, "new text\n");
  EXPECT_EQ(http_.ContentType(), "text/plain");
}

TEST_F(HttpNginx, FollowsARedirectToTheRoot) {
  Get("/moved");
  EXPECT_EQ(http_.StatusCode(), 200);
  EXPECT_EQ(body_, "<p>index</p>\n");
  // The data event also saw the 302 page, which the stream no longer holds.
  EXPECT_NE(seen_.find("302 Found"), std::string::npos);
  EXPECT_TRUE(seen_.ends_with("<p>index</p>\n"));
}

TEST_F(HttpNginx, FollowsRelativeAndFullLocations) {
  Get("/docs/old");
  EXPECT_EQ(body_, "new text\n");
  body_.clear();
  Get("/full");
  EXPECT_EQ(body_, "new text\n");
}

TEST_F(HttpNginx, RaisesForNotFoundWithTheReasonPhrase) {
  for (const std::string path : {"/missing.qdat", "/gone"}) {
    try {
      Get(path);
      FAIL() << path << " did not raise";
    } catch (const EHttpException& error) {
      const int status = path == "/gone" ? 410 : 404;
      EXPECT_STREQ(error.what(), status == 404 ? "Not Found" : "Gone");
      EXPECT_EQ(error.Status(), status);
      EXPECT_EQ(http_.StatusCode(), status);
    }
  }
}

TEST_F(HttpNginx, ReturnsNormallyFor400And401) {
  Get("/bad");
  EXPECT_EQ(http_.StatusCode(), 400);
  EXPECT_EQ(http_.ReasonPhrase(), "Bad Request");
  EXPECT_NE(body_.find("400 Bad Request"), std::string::npos);
  body_.clear();
  Get("/auth");
  EXPECT_EQ(http_.StatusCode(), 401);
  EXPECT_EQ(http_.ReasonPhrase(), "Unauthorized");
}

}  // namespace
}  // namespace vexmoor
