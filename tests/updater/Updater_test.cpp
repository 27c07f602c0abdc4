// Fetching the list and downloading files against a scripted server: what is
// written, what is left alone, and how a run goes on after a failure.
#include "updater/Updater.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "platform/Errors.h"
#include "platform/FaultFileSystem.h"
#include "platform/File.h"
#include "support/TempDir.h"
#include "updater/ScriptedServer.h"
#include "updater/UpdateSigning.h"

namespace vexmoor {
namespace {

using test::ScriptedServer;
using test::ServerConnection;

constexpr const char* kProgram = "/opt/vexmoor/moorscan";

std::string Ok(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The path of a request's first line ("GET /update/x HTTP/1.0").
std::string RequestPath(const std::string& request) {
  const size_t start = request.find(' ') + 1;
  return request.substr(start, request.find(' ', start) - start);
}

// Serves a fixed response per path under "/update/"; other paths get 404.
ScriptedServer::Script Site(std::map<std::string, std::string> responses) {
  return [responses](ServerConnection& connection) {
    const std::string request = connection.ReadRequest();
    if (request.empty()) return;
    const auto found = responses.find(RequestPath(request));
    connection.Send(found != responses.end()
                        ? found->second
                        : "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  };
}

// A record whose signed Sha256 and Size describe `expected`.
TUpdateRecord Record(const std::string& file, const std::string& expected = "",
                     bool isProgram = false) {
  return {file,
          file,
          46000,
          isProgram ? 6421 : 0,
          static_cast<int32_t>(expected.size()),
          file,
          isProgram,
          test::Sha256Hex(expected),
          static_cast<int64_t>(expected.size())};
}

class Updater : public test::TempDirTest {
 protected:
  std::unique_ptr<TUpdater> Connect(const ScriptedServer& server) {
    auto updater = std::make_unique<TUpdater>(server.Url("/update"), counters_);
    updater->SetTrustedKeys({test::TestUpdatePublicKey()});
    updater->Http().SetIdleTimeout(std::chrono::milliseconds(3000));
    return updater;
  }

  // The names in the folder: a temporary left behind shows here.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
      names.insert(entry.path().filename().string());
    return names;
  }

  // Downloads `file`, which holds "keep me" before, and returns the failure's
  // text; the old file must be untouched and no temporary left.
  std::string FailedDownload(TUpdater& updater, const std::string& file,
                             const std::string& expected = std::string(100, 'x')) {
    dir_.Write(file, "keep me");
    const std::set<std::string> before = Names();
    std::string failure = "no failure";
    try {
      updater.Download(Record(file, expected), kProgram, dir_.Path());
    } catch (const Error& error) {
      failure = error.what();
    }
    EXPECT_EQ(test::ReadFile(dir_ / file), "keep me") << file;
    EXPECT_EQ(Names(), before) << file;
    return failure;
  }

  TByteCounters counters_;
};

TEST_F(Updater, FetchesAndChecksTheList) {
  const std::string list =
      "[new.qdat]\r\nFile=new.qdat\r\nTimestamp=46000\r\n[moorscan]\r\nVersion=6420\r\n";
  ScriptedServer server(Site({{"/update/update2.cgi", Ok(list)},
                              {"/update/update2.cgi.minisig", Ok(test::SignList(list))}}));
  auto updater = Connect(server);
  EXPECT_EQ(updater->BaseUrl(), server.Url("/update/"));
  const auto offered = updater->Check(kProgram, dir_.Path());
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].File, "new.qdat");
  EXPECT_EQ(counters_.Total, 0);  // the list is not a download
}

TEST_F(Updater, ListErrorsFailTheCheck) {
  const std::string huge = std::string(kMaxUpdateListSize + 1, ';');
  ScriptedServer server(Site({
      {"/a/update/update2.cgi", "HTTP/1.0 401 Unauthorized\r\nContent-Length: 4\r\n\r\n[x]\n"},
      {"/a/update/update2.cgi.minisig", Ok(test::SignList("[x]\n"))},
      {"/b/update/update2.cgi", Ok(huge)},
      {"/b/update/update2.cgi.minisig", Ok(test::SignList(huge))},
  }));
  TUpdater denied(server.Url("/a/update/"), counters_);
  denied.SetTrustedKeys({test::TestUpdatePublicKey()});
  try {
    denied.FetchList();
    FAIL() << "a 401 list was taken";
  } catch (const EHttpException& error) {
    EXPECT_STREQ(error.what(), "Unauthorized");
    EXPECT_EQ(error.Status(), 401);
  }
  TUpdater oversized(server.Url("/b/update/"), counters_);
  oversized.SetTrustedKeys({test::TestUpdatePublicKey()});
  try {
    oversized.FetchList();
    FAIL() << "an oversized list was taken";
  } catch (const EHttpException&) {
    FAIL() << "an oversized list should fail with its own message";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "the response is larger than 1 MB");
  }
}

TEST_F(Updater, DownloadWritesTheWholeBodyAndCounts) {
  ScriptedServer server(Site({{"/update/a.qdat", Ok(std::string(3000, 'a'))},
                              {"/update/b%20c.qdat", Ok(std::string(1000, 'b'))},
                              {"/update/c.qdat",
                               "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                               "3\r\nchu\r\n4\r\nnked\r\n0\r\n\r\n"}}));
  auto updater = Connect(server);
  int progressCalls = 0;
  updater->SetOnProgress([&](const TByteCounters&) { ++progressCalls; });
  dir_.Write("a.qdat", "old");
  EXPECT_EQ(updater->Download(Record("a.qdat", std::string(3000, 'a')), kProgram, dir_.Path()),
            dir_ / "a.qdat");
  EXPECT_EQ(test::ReadFile(dir_ / "a.qdat"), std::string(3000, 'a'));
  EXPECT_EQ(counters_.Current, 3000);
  updater->Download(Record("b c.qdat", std::string(1000, 'b')), kProgram, dir_.Path());
  EXPECT_EQ(test::ReadFile(dir_ / "b c.qdat"), std::string(1000, 'b'));
  EXPECT_EQ(counters_.Current, 1000);
  EXPECT_EQ(counters_.Total, 4000);
  EXPECT_GE(progressCalls, 2);
  updater->Download(Record("c.qdat", "chunked"), kProgram, dir_.Path());
  EXPECT_EQ(test::ReadFile(dir_ / "c.qdat"), "chunked");
  EXPECT_EQ(Names(), (std::set<std::string>{"a.qdat", "b c.qdat", "c.qdat"}));
}

TEST_F(Updater, FailedDownloadsLeaveTheFileAloneAndNoTemporary) {
  ScriptedServer server([](ServerConnection& connection) {
    const std::string request = connection.ReadRequest();
    const std::string path = RequestPath(request);
    const std::string part = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b";
    if (path == "/update/bad.qdat") {
      connection.Send("HTTP/1.0 400 Bad Request\r\nContent-Length: 5\r\n\r\noops!");
    } else if (path == "/update/cut.qdat") {
      connection.Send(part);
    } else if (path == "/update/reset.qdat") {
      connection.Send(part);
      connection.ResetOnClose();
    } else if (path == "/update/chunks.qdat") {
      connection.Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n");
    } else if (path == "/update/gone.qdat") {
      connection.Send("HTTP/1.0 410 Gone\r\nContent-Length: 5\r\n\r\ngone!");
    } else if (path == "/update/moved.qdat") {
      connection.Send("HTTP/1.0 304 Not Modified\r\n\r\n");
    } else if (path == "/update/idle.qdat") {
      connection.Send(part);
      connection.WaitForClose();
    } else if (path == "/update/slow.qdat") {
      connection.Send(part);
      connection.Trickle(std::string(90, 'x'), 1, std::chrono::milliseconds(20));
    }
  });
  auto updater = Connect(server);
  EXPECT_EQ(FailedDownload(*updater, "bad.qdat"), "Bad Request");
  EXPECT_EQ(FailedDownload(*updater, "cut.qdat"),
            "Connection closed after 10 of 100 bytes of the response body");
  const std::string reset = FailedDownload(*updater, "reset.qdat");
#ifdef _WIN32  // wine reports the reset after the first bytes as the end of the stream
  EXPECT_NE(reset.find("Connection closed after 10 of 100 bytes"), std::string::npos) << reset;
#else
  EXPECT_NE(reset.find("(Error #"), std::string::npos) << reset;
#endif
  EXPECT_EQ(FailedDownload(*updater, "chunks.qdat"),
            "Connection closed before the end of the chunked response body");
  EXPECT_EQ(FailedDownload(*updater, "gone.qdat"), "Gone");
  EXPECT_EQ(FailedDownload(*updater, "moved.qdat"), "Not Modified");
  updater->Http().SetIdleTimeout(std::chrono::milliseconds(200));
  EXPECT_NE(FailedDownload(*updater, "idle.qdat").find("(Error #"), std::string::npos);
  updater->Http().SetIdleTimeout(std::chrono::milliseconds(3000));
  updater->Http().SetLowSpeedLimit(1024, std::chrono::milliseconds(200));
  EXPECT_EQ(
      FailedDownload(*updater, "slow.qdat"),
      server.Url("/update/slow.qdat") + ": the transfer is too slow: less than 1 KiB in 200 ms");
}

TEST_F(Updater, AFullDiskOrAFailedRenameDuringADownloadKeepsTheOldFile) {
  const std::string body = std::string(200000, 'n');
  ScriptedServer server(Site({{"/update/a.qdat", Ok(body)}}));
  auto updater = Connect(server);
  TFaultFileSystem faults;
  const TFileSystemOverride installed(faults);
  const std::string path = dir_ / "a.qdat";
  faults.FailWritesAfter(70000, ENOSPC, "a.qdat");
  EXPECT_EQ(FailedDownload(*updater, "a.qdat", body),
            "Cannot write file \"" + path + "\". " + SystemErrorText(ENOSPC));
  EXPECT_EQ(updater->Http().StatusCode(), 404);  // the request failed with the write
  faults.Clear();
  faults.FailCall(TFileOp::Rename, 1, EACCES, "a.qdat");
  EXPECT_EQ(FailedDownload(*updater, "a.qdat", body),
            "Cannot write file \"" + path + "\". " + SystemErrorText(EACCES));
  EXPECT_EQ(updater->Download(Record("a.qdat", body), kProgram, dir_.Path()), path);
  EXPECT_TRUE(test::ReadFile(path) == body);
}

TEST_F(Updater, ARedirectedDownloadHoldsOnlyTheFinalBody) {
  ScriptedServer server(Site({
      {"/update/a.qdat",
       "HTTP/1.0 302 Found\r\nLocation: /files/a\r\nContent-Length: 5\r\n\r\nmoved"},
      {"/files/a", Ok("the dat")},
  }));
  auto updater = Connect(server);
  updater->Download(Record("a.qdat", "the dat"), kProgram, dir_.Path());
  EXPECT_EQ(test::ReadFile(dir_ / "a.qdat"), "the dat");
  EXPECT_EQ(Names(), std::set<std::string>{"a.qdat"});
}

TEST_F(Updater, UnsafeFileValuesAreNeverFetched) {
  ScriptedServer server(Site({}));
  auto updater = Connect(server);
  for (const char* file : {"../evil.qdat", "/tmp/evil.qdat", "sub/evil.qdat", "", "#ERROR#"}) {
    try {
      updater->Download(Record(file), kProgram, dir_.Path());
      FAIL() << "downloaded " << file;
    } catch (const FormatError& error) {
      EXPECT_NE(std::string(error.what()).find("refusing to download"), std::string::npos);
    }
  }
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Updater, RunGoesOnAfterAFailureAndHandsOverTheProgram) {
  ScriptedServer server(Site({{"/update/a.qdat", Ok("A")}, {"/update/moorscan", Ok("new build")}}));
  auto updater = Connect(server);
  std::vector<std::string> started;
  updater->SetOnItem(
      [&](const TUpdateRecord& record, const std::string&) { started.push_back(record.File); });
  const std::vector<TUpdateRecord> records = {Record("missing.qdat", "M"),
                                              Record("skipped.qdat", "S"), Record("a.qdat", "A"),
                                              Record("moorscan", "new build", true)};
  const TUpdateRunResult run =
      updater->Run(records, {true, false, true, true}, kProgram, dir_.Path());
  EXPECT_EQ(started, (std::vector<std::string>{"missing.qdat", "a.qdat", "moorscan"}));
  ASSERT_EQ(run.Items.size(), 3u);
  EXPECT_EQ(run.Items[0].Error, "Not Found");
  EXPECT_EQ(run.Items[1].Error, "");
  EXPECT_EQ(run.Items[2].LocalPath, dir_ / "upd-moorscan");
  EXPECT_FALSE(run.AllSucceeded());
  EXPECT_EQ(run.ProgramUpdatePath, dir_ / "upd-moorscan");
  EXPECT_EQ(test::ReadFile(dir_ / "upd-moorscan"), "new build");
#ifndef _WIN32  // POSIX mode bits: Windows runs any file it may read
  EXPECT_EQ(::access((dir_ / "upd-moorscan").c_str(), X_OK), 0);
  EXPECT_NE(::access((dir_ / "a.qdat").c_str(), X_OK), 0);
#endif
  EXPECT_EQ(UpdateFailuresText(records, run),
            "The download of \"missing.qdat\" (missing.qdat) failed: Not Found");
}

TEST_F(Updater, AFailedProgramDownloadStartsNothing) {
  ScriptedServer server(Site({}));
  auto updater = Connect(server);
  const TUpdateRunResult run =
      updater->Run({Record("moorscan", "new build", true)}, {true}, kProgram, dir_.Path());
  ASSERT_EQ(run.Items.size(), 1u);
  EXPECT_FALSE(run.Items[0].Error.empty());
  EXPECT_EQ(run.ProgramUpdatePath, "");
  EXPECT_NE(
      UpdateFailuresText({Record("moorscan", "new build", true)}, run).find("(moorscan) failed: "),
      std::string::npos);
  EXPECT_EQ(UpdateFailuresText({}, TUpdateRunResult{}), "");
}

TEST_F(Updater, CancelEndsTheRunningDownloadAndEveryLaterOne) {
  ScriptedServer server([](ServerConnection& connection) {
    if (connection.ReadRequest().empty()) return;
    connection.Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\nfirst bytes");
    connection.WaitForClose();
  });
  auto updater = Connect(server);
  updater->SetOnProgress([&](const TByteCounters&) { updater->Cancel(); });
  dir_.Write("a.qdat", "keep me");
  const TUpdateRunResult run =
      updater->Run({Record("a.qdat", std::string(100000, 'a')), Record("b.qdat", "b")},
                   {true, true}, kProgram, dir_.Path());
  ASSERT_EQ(run.Items.size(), 2u);
  EXPECT_EQ(run.Items[0].Error, "Connection aborted on request");
  EXPECT_EQ(run.Items[1].Error, "Connection aborted on request");
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(test::ReadFile(dir_ / "a.qdat"), "keep me");
  EXPECT_TRUE(updater->Cancelled());
}

TEST_F(Updater, AFileChangedAfterSigningOrOfAnotherSizeKeepsTheOldFile) {
  ScriptedServer server(Site({{"/update/changed.qdat", Ok("the attacker's dat")},
                              {"/update/short.qdat", Ok("the da")},
                              {"/update/long.qdat", Ok("the dat, and then much more")}}));
  auto updater = Connect(server);
  const std::string changed = FailedDownload(*updater, "changed.qdat", "the dat...........");
  EXPECT_NE(changed.find("SHA-256"), std::string::npos) << changed;
  EXPECT_NE(changed.find("changed after the list was signed"), std::string::npos) << changed;
  EXPECT_EQ(FailedDownload(*updater, "short.qdat", "the dat"),
            "the server sent 6 bytes, the signed list gives 7");
  EXPECT_EQ(FailedDownload(*updater, "long.qdat", "the dat"),
            "the server sent more than the 7 bytes the signed list gives; the download was cut "
            "off");
}

// Entries a hostile list may name: each refused one is named, fetches
// nothing, and the others still go on.
TEST_F(Updater, ADatEntryWritesNoProgramLinkOrOtherFile) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links: mingw-w64 and wine make none";
#else
  ScriptedServer server(Site({{"/update/good.qdat", Ok("good")}}));
  auto updater = Connect(server);
  dir_.Write("outside/secret", "keep me");
  std::filesystem::create_symlink(dir_ / "outside/secret", dir_ / "link.qdat");
  const std::vector<TUpdateRecord> records = {
      Record("vexmoor", "x"), Record("moorpurge", "x"), Record("link.qdat", "x"),
      Record(".", "x"),       Record("moorscan", "x"),  Record("good.qdat", "good")};
  const TUpdateRunResult run =
      updater->Run(records, std::vector<bool>(records.size(), true), kProgram, dir_.Path());
  ASSERT_EQ(run.Items.size(), records.size());
  for (size_t i = 0; i + 1 < records.size(); ++i)
    EXPECT_NE(run.Items[i].Error.find("refusing to download \"" + records[i].File),
              std::string::npos)
        << run.Items[i].Error;
  EXPECT_NE(run.Items[2].Error.find("is a link"), std::string::npos);
  EXPECT_EQ(run.Items.back().Error, "");
  EXPECT_EQ(run.ProgramUpdatePath, "");
  EXPECT_EQ(test::ReadFile(dir_ / "good.qdat"), "good");
  EXPECT_EQ(test::ReadFile(dir_ / "outside/secret"), "keep me");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.qdat"));
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(UpdateFailuresText(records, run).find("(moorpurge) failed: refusing"),
            std::string::npos);
#endif
}

// A link put in place after the check is replaced, never written through.
TEST_F(Updater, ALinkThatAppearsDuringADownloadIsReplacedNotFollowed) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links: mingw-w64 and wine make none";
#else
  ScriptedServer server(Site({{"/update/a.qdat", Ok("the dat")}}));
  auto updater = Connect(server);
  dir_.Write("outside", "keep me");
  updater->SetOnProgress([&](const TByteCounters&) {
    if (!std::filesystem::is_symlink(dir_ / "a.qdat"))
      std::filesystem::create_symlink(dir_ / "outside", dir_ / "a.qdat");
  });
  updater->Download(Record("a.qdat", "the dat"), kProgram, dir_.Path());
  EXPECT_FALSE(std::filesystem::is_symlink(dir_ / "a.qdat"));
  EXPECT_EQ(test::ReadFile(dir_ / "a.qdat"), "the dat");
  EXPECT_EQ(test::ReadFile(dir_ / "outside"), "keep me");
#endif
}

TEST_F(Updater, ARunFetchesNoMoreThanTheCapOfListedSizes) {
  ScriptedServer server(Site({}));
  auto updater = Connect(server);
  std::vector<TUpdateRecord> records;
  for (int i = 0; i < 5; ++i) {
    TUpdateRecord record = Record("big" + std::to_string(i) + ".qdat", "x");
    record.ExactSize = static_cast<int64_t>(kMaxUpdateFileSize);
    records.push_back(record);
  }
  const TUpdateRunResult run =
      updater->Run(records, std::vector<bool>(5, true), kProgram, dir_.Path());
  ASSERT_EQ(run.Items.size(), 5u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(run.Items[i].Error, "Not Found");
  EXPECT_NE(run.Items[4].Error.find("add up to more than the 1024 MB"), std::string::npos)
      << run.Items[4].Error;
  EXPECT_EQ(server.Requests().size(), 4u);
}

}  // namespace
}  // namespace vexmoor
