// `vexmoor publish` and `vexmoor update` end to end: dats encoded by the
// tool, a list published from its keys file, nginx serving both.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "catalogue/DatContainer.h"
#include "catalogue/Version.h"
#include "support/TempDir.h"
#include "updater/NginxServer.h"
#include "updater/ScriptedServer.h"
#include "updater/UpdateList.h"
#include "updater/UpdateSigning.h"

namespace vexmoor {
namespace {

using test::RunCli;
using test::ShellQuote;

constexpr const char* kAlpha =
    "[INFO]\r\nNAME=Alpha Set\r\nVERSION=20061201\r\n[DAT]\r\n0001|0A1B2C3D|Alpha One|E\r\n";
constexpr const char* kBeta = "[INFO]\r\nNAME=Beta Set\r\n[DAT]\r\n0001|22222222|Beta One\r\n";
constexpr const char* kNoUpdates = "No updates are available at this time.\n";

class UpdateCli : public test::TempDirTest {
 protected:
  void SetUp() override {
    test::TempDirTest::SetUp();
    dir_.Write("keys/test.key", MinisignSecretKeyFileText(test::TestUpdateKey()));
    dir_.Write("keys/test.pub", MinisignPublicKeyFileText(test::TestUpdatePublicKey()));
  }

  void Encode(const std::string& arguments) {
    const auto encoded = RunCli("encode " + arguments);
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
  }

  // Publishes src/update_keys.txt and puts the list and `files` on the site
  // (the program build is not among the files).
  void Publish(std::initializer_list<const char*> files) {
    const auto published = RunCli("publish --allow-missing --sign " +
                                  ShellQuote(dir_ / "keys/test.key") + " " +
                                  ShellQuote(dir_ / "src/update_keys.txt"));
    ASSERT_EQ(published.exitCode, 0) << published.err;
    EXPECT_EQ(published.out, "");
    for (const char* name : {"update2.cgi", "update2.cgi.minisig"})
      dir_.Write(std::string("www/update/") + name, test::ReadFile(dir_ / ("src/" + std::string(name))));
    for (const char* file : files) {
      dir_.Write(std::string("www/update/") + file,
                 test::ReadFile(dir_ / ("src/" + std::string(file))));
    }
  }

  test::CommandResult Update(const std::string& options = "") {
    return RunCli("update --base-url " + ShellQuote(server_->Url("/update/")) + " --public-key " +
                  ShellQuote(dir_ / "keys/test.pub") + " --dir " + ShellQuote(dir_ / "installed") +
                  " " + options);
  }

  bool StartServer() {
    if (test::FindNginx().empty()) return false;
    server_ = std::make_unique<test::NginxServer>(dir_ / "www", "");
    return server_->Running();
  }

  std::unique_ptr<test::NginxServer> server_;
};

TEST_F(UpdateCli, EncodePublishServeAndUpdate) {
  dir_.Write("src/Alpha.dat", kAlpha);
  dir_.Write("src/Beta.dat", kBeta);
  std::filesystem::create_directory(dir_ / "installed");
  Encode(ShellQuote(dir_ / "src/Alpha.dat") + " " + ShellQuote(dir_ / "src/Beta.dat"));
  Publish({"Alpha.qdat", "Beta.qdat"});
  if (!StartServer()) GTEST_SKIP() << "nginx is not available";

  const auto check = Update("--check");
  ASSERT_EQ(check.exitCode, 0) << check.err;
  EXPECT_NE(check.out.find("Alpha Set\t2006.1201\t"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("\tBeta.qdat\n"), std::string::npos) << check.out;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "installed/Alpha.qdat"));

  const auto first = Update();
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(test::ReadFile(dir_ / "installed/Alpha.qdat"), test::ReadFile(dir_ / "src/Alpha.qdat"));
  EXPECT_EQ(test::ReadFile(dir_ / "installed/Beta.qdat"), test::ReadFile(dir_ / "src/Beta.qdat"));
  EXPECT_NE(first.err.find("Total : "), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "installed/upd-moorscan"));

  const auto again = Update();
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, kNoUpdates);

  // Beta is re-encoded alone; the old keys file still describes both dats.
  const std::string oldBeta = test::ReadFile(dir_ / "installed/Beta.qdat");
  Encode("--no-keys-file " + ShellQuote(dir_ / "src/Beta.dat"));
  Publish({"Beta.qdat"});
  const auto third = Update();
  ASSERT_EQ(third.exitCode, 0) << third.err;
  EXPECT_EQ(third.out.find("Alpha"), std::string::npos) << third.out;
  EXPECT_NE(third.out.find("Beta Set"), std::string::npos) << third.out;
  EXPECT_NE(test::ReadFile(dir_ / "installed/Beta.qdat"), oldBeta);
  EXPECT_EQ(test::ReadFile(dir_ / "installed/Beta.qdat"), test::ReadFile(dir_ / "src/Beta.qdat"));
  EXPECT_EQ(Update().out, kNoUpdates);
}

TEST_F(UpdateCli, PublishWritesOneSectionPerLine) {
  dir_.Write("src/Alpha.dat", kAlpha);
  Encode("--keep-timestamps " + ShellQuote(dir_ / "src/Alpha.dat"));
  dir_.Write("src/" + std::string(kAuditorProgramFileName), "a build");
  const auto published = RunCli("publish " + ShellQuote(dir_ / "src/update_keys.txt"));
  ASSERT_EQ(published.exitCode, 0) << published.err;
  EXPECT_EQ(published.err, "");
  const TUpdateList list = ParseUpdateList(published.out);
  ASSERT_EQ(list.size(), 2u) << published.out;
  EXPECT_EQ(list[0].Name, "Alpha.qdat");
  EXPECT_EQ(list[0].ReadString("Name", ""), "Alpha Set");
  EXPECT_EQ(list[0].ReadString("File", ""), "Alpha.qdat");
  EXPECT_EQ(list[0].ReadString("Version", ""), "20061201");
  // The keys line carries no TIMESTAMP (kept, and the dat had none); the
  // list carries the container's stamp exactly.
  EXPECT_EQ(list[0].ReadFloat("Timestamp", 0), ReadDatTimeStamp(dir_ / "src/Alpha.qdat"));
  EXPECT_EQ(list[0].ReadInteger("Size", 0),
            static_cast<int32_t>(std::filesystem::file_size(dir_ / "src/Alpha.qdat")));
  EXPECT_EQ(list[1].Name, kAuditorProgramFileName);
  EXPECT_EQ(list[1].ReadString("Name", ""), "Vexmoor");
  EXPECT_EQ(list[1].ReadInteger("Version", 0), 6420);
  EXPECT_EQ(list[1].ReadInteger("Size", 0), 7);
  EXPECT_EQ(list[1].ReadString("Sha256", ""), test::Sha256Hex("a build"));
  EXPECT_EQ(list[0].ReadString("Sha256", ""), test::Sha256Hex(test::ReadFile(dir_ / "src/Alpha.qdat")));
  EXPECT_EQ(list[1].Find("Timestamp"), nullptr);
  EXPECT_NE(published.out.find("\r\n[" + std::string(kAuditorProgramFileName) + "]\r\n"), std::string::npos);

}

TEST_F(UpdateCli, PublishWithAMissingFileFailsUnlessAllowed) {
  dir_.Write("src/Alpha.dat", kAlpha);
  Encode("--keep-timestamps " + ShellQuote(dir_ / "src/Alpha.dat"));  // no moorscan beside it
  const std::string keys = ShellQuote(dir_ / "src/update_keys.txt");
  const auto refused = RunCli("publish " + keys);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find(std::string(kAuditorProgramFileName) + " is not beside the keys file"), std::string::npos);
  EXPECT_NE(refused.err.find("--allow-missing"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out, "");
  const auto allowed = RunCli("publish --allow-missing " + keys);
  EXPECT_EQ(allowed.exitCode, 0);
  EXPECT_NE(allowed.err.find(std::string(kAuditorProgramFileName) + " is not beside the keys file"), std::string::npos);
  EXPECT_EQ(ParseUpdateList(allowed.out)[1].Find("Size"), nullptr);
}

TEST_F(UpdateCli, PublishRefusesBadKeysFiles) {
  const std::string unsafe =
      dir_.Write("a/update_keys.txt", "../x.qdat|1|2|X|\r\nmoorscan|6420|3|Vexmoor|\r\n");
  const auto refused = RunCli("publish " + ShellQuote(unsafe));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("path separator"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(RunCli("publish " + ShellQuote(dir_.Write("b/update_keys.txt", ""))).exitCode, 1);
  EXPECT_EQ(RunCli("publish " + ShellQuote(dir_ / "none.txt")).exitCode, 1);
  EXPECT_EQ(RunCli("publish").exitCode, 2);
  EXPECT_EQ(RunCli("publish a b").exitCode, 2);
}

TEST_F(UpdateCli, ExitCodes) {
  EXPECT_EQ(RunCli("update --bogus").exitCode, 2);
  EXPECT_EQ(RunCli("update --dir").exitCode, 2);
  const std::string unused =
      "http://127.0.0.1:" + std::to_string(test::UnusedLoopbackPort()) + "/update/";
  const auto unreachable = RunCli("update --check --base-url " + ShellQuote(unused) +
                                  " --public-key " + ShellQuote(dir_ / "keys/test.pub"));
  EXPECT_EQ(unreachable.exitCode, 2);
  EXPECT_NE(unreachable.err.find("cannot fetch the update list"), std::string::npos);
  EXPECT_EQ(RunCli("update --check --dir " + ShellQuote(dir_ / "none")).exitCode, 1);

  // One download fails (the file is missing, another is unsafe); the rest still run.
  const std::string list = "[gone.qdat]\r\nTimestamp=1\r\n"
                           "[evil.qdat]\r\nFile=../evil.qdat\r\nTimestamp=1\r\n" +
                           test::DatSection("here.qdat", "QDAT-ish", "1");
  dir_.Write("www/update/update2.cgi", list);
  dir_.Write("www/update/update2.cgi.minisig", test::SignList(list));
  dir_.Write("www/update/here.qdat", "QDAT-ish");
  dir_.Write("www/evil.qdat", "outside");
  std::filesystem::create_directory(dir_ / "installed");
  if (!StartServer()) GTEST_SKIP() << "nginx is not available";
  const auto partial = Update();
  EXPECT_EQ(partial.exitCode, 1);
  EXPECT_EQ(test::ReadFile(dir_ / "installed/here.qdat"), "QDAT-ish");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "evil.qdat"));
  EXPECT_NE(partial.err.find("refusing to download \"../evil.qdat\""), std::string::npos)
      << partial.err;
  EXPECT_NE(partial.err.find("cannot download \"#ERROR#\""), std::string::npos) << partial.err;
  const auto checked = Update("--check");
  EXPECT_EQ(checked.exitCode, 0);
  EXPECT_NE(checked.err.find("\"evil.qdat\" will not be downloaded: the file name contains a path"),
            std::string::npos)
      << checked.err;
}

TEST_F(UpdateCli, AListWithoutTheKeysSignatureIsRefusedWithWhatToDo) {
  const std::string list = test::DatSection("a.qdat", "a dat");
  dir_.Write("www/update/update2.cgi", list);
  dir_.Write("www/update/a.qdat", "a dat");
  std::filesystem::create_directory(dir_ / "installed");
  if (!StartServer()) GTEST_SKIP() << "nginx is not available";
  const auto unsigned_ = Update();
  EXPECT_EQ(unsigned_.exitCode, 2);
  EXPECT_NE(unsigned_.err.find("is not signed: its signature " +
                               server_->Url("/update/update2.cgi.minisig")),
            std::string::npos)
      << unsigned_.err;
  dir_.Write("www/update/update2.cgi.minisig", test::SignList(list + " "));
  const auto changed = Update();
  EXPECT_EQ(changed.exitCode, 2);
  EXPECT_NE(changed.err.find("changed after signing"), std::string::npos) << changed.err;
  dir_.Write("www/update/update2.cgi.minisig", test::SignList(list));
  const auto noKey = RunCli("update --base-url " + ShellQuote(server_->Url("/update/")));
  EXPECT_EQ(noKey.exitCode, 2);
  EXPECT_NE(noKey.err.find("--public-key FILE"), std::string::npos) << noKey.err;
  const auto badKey = RunCli("update --public-key " + ShellQuote(dir_ / "keys/test.key"));
  EXPECT_EQ(badKey.exitCode, 2);
  EXPECT_NE(badKey.err.find("test.key\" holds no usable key"), std::string::npos) << badKey.err;
  EXPECT_EQ(Update().exitCode, 0);
  EXPECT_EQ(test::ReadFile(dir_ / "installed/a.qdat"), "a dat");
}

// Publishers need no tool of ours to check: the signature `publish --sign`
// writes verifies with `minisign -V`, and the tool signs with our key file.
TEST_F(UpdateCli, PublishSignsForTheMinisignTool) {
#ifdef _WIN32
  GTEST_SKIP() << "not yet on Windows: the published list is checked with Linux tools";
#else
  dir_.Write("src/Alpha.dat", kAlpha);
  Encode(ShellQuote(dir_ / "src/Alpha.dat"));
  dir_.Write("src/moorscan", "a build");
  const auto published = RunCli("publish --sign " + ShellQuote(dir_ / "keys/test.key") + " " +
                                ShellQuote(dir_ / "src/update_keys.txt"));
  ASSERT_EQ(published.exitCode, 0) << published.err;
  const std::string list = test::ReadFile(dir_ / "src/update2.cgi");
  const auto signature = ParseMinisignSignature(test::ReadFile(dir_ / "src/update2.cgi.minisig"));
  EXPECT_EQ(MinisignVerifyFailure(list, signature, test::TestUpdatePublicKey()), std::nullopt);
  dir_.Write("keys/locked.key", "untrusted comment: x\nRWRTY0Iy" +
                                    std::string(test::ReadFile(dir_ / "keys/test.key")).substr(
                                        test::ReadFile(dir_ / "keys/test.key").find('\n') + 9));
  const auto locked = RunCli("publish --sign " + ShellQuote(dir_ / "keys/locked.key") + " " +
                             ShellQuote(dir_ / "src/update_keys.txt"));
  EXPECT_EQ(locked.exitCode, 1);
  EXPECT_NE(locked.err.find("minisign -S"), std::string::npos) << locked.err;
  if (std::system("command -v minisign >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "minisign is not installed";
  const std::string pub = ShellQuote(dir_ / "keys/test.pub");
  const std::string file = ShellQuote(dir_ / "src/update2.cgi");
  EXPECT_EQ(std::system(("minisign -Vq -p " + pub + " -m " + file).c_str()), 0);
  ASSERT_EQ(std::system(("minisign -S -s " + ShellQuote(dir_ / "keys/test.key") + " -m " + file +
                         " >/dev/null")
                            .c_str()),
            0);
  EXPECT_EQ(MinisignVerifyFailure(
                list, ParseMinisignSignature(test::ReadFile(dir_ / "src/update2.cgi.minisig")),
                test::TestUpdatePublicKey()),
            std::nullopt);
#endif
}

}  // namespace
}  // namespace vexmoor
