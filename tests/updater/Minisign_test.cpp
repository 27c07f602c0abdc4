// Minisign keys and signatures: our own round trip, every damage the parser
// must refuse, and both directions against the `minisign` tool itself.
#include "updater/Minisign.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/Errors.h"
#include "support/TempDir.h"
#include "updater/UpdateSigning.h"

namespace vexmoor {
namespace {

constexpr const char* kMessage = "[a.qdat]\r\nFile=a.qdat\r\n";

std::string FormatFailure(void (*parse)(std::string_view), std::string_view text) {
  try {
    parse(text);
  } catch (const FormatError& error) {
    return error.what();
  }
  return "";
}

void ParseSignature(std::string_view text) { ParseMinisignSignature(text); }
void ParsePublicKey(std::string_view text) { ParseMinisignPublicKey(text); }
void ParseSecretKey(std::string_view text) { ParseMinisignSecretKey(text); }

// The four lines of a signature text.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(Minisign, OurSignatureVerifiesAndEveryChangeIsCaught) {
  const TMinisignPublicKey key = test::TestUpdatePublicKey();
  const std::string signed_ = test::SignList(kMessage);
  const TMinisignSignature signature = ParseMinisignSignature(signed_);
  EXPECT_TRUE(signature.Prehashed);
  EXPECT_EQ(MinisignVerifyFailure(kMessage, signature, key), std::nullopt);
  // The list changed by one byte after signing.
  EXPECT_NE(MinisignVerifyFailure("[b.qdat]\r\nFile=a.qdat\r\n", signature, key)
                ->find("changed after signing"),
            std::string::npos);
  // The trusted comment changed.
  std::vector<std::string> lines = Lines(signed_);
  lines[2] += "x";
  EXPECT_NE(MinisignVerifyFailure(kMessage, ParseMinisignSignature(Joined(lines)), key)
                ->find("trusted comment"),
            std::string::npos);
  // Another key.
  const TMinisignPublicKey other = MinisignPublicKeyOf(MinisignGenerateKey());
  EXPECT_NE(MinisignVerifyFailure(kMessage, signature, other)->find("signed by key ID"),
            std::string::npos);
  // Another key that claims our key's ID.
  TMinisignPublicKey impostor = other;
  impostor.KeyId = key.KeyId;
  EXPECT_NE(MinisignVerifyFailure(kMessage, signature, impostor), std::nullopt);
  // CR LF line ends read the same.
  std::string crlf;
  for (const std::string& line : lines) crlf += line + "\r\n";
  EXPECT_EQ(ParseMinisignSignature(crlf).TrustedComment, lines[2].substr(17));
}

TEST(Minisign, KeysRoundTripAndPrintTheirIdAsTheToolDoes) {
  const TMinisignPublicKey key = test::TestUpdatePublicKey();
  const std::string line = MinisignPublicKeyLine(key);
  EXPECT_EQ(line.substr(0, 2), "RW");
  EXPECT_EQ(ParseMinisignPublicKey(line).Key, key.Key);
  EXPECT_EQ(ParseMinisignPublicKey("untrusted comment: x\n" + line + "\n").KeyId, key.KeyId);
  EXPECT_EQ(MinisignKeyIdText({0x8a, 0x97, 0x0b, 0x00, 0xb5, 0x18, 0xf4, 0x96}),
            "96F418B5000B978A");
}

TEST(Minisign, DamagedTextsAreRefusedWithAReason) {
  const std::vector<std::string> lines = Lines(test::SignList(kMessage));
  const std::pair<std::string, const char*> signatures[] = {
      {"", "four lines"},
      {Joined({lines[0], lines[1], lines[2]}), "four lines"},
      {Joined({lines[1], lines[0], lines[2], lines[3]}), "four lines"},
      {Joined({lines[0], lines[1].substr(4), lines[2], lines[3]}), "bytes instead of 74"},
      {Joined({lines[0], lines[1] + "!", lines[2], lines[3]}), "not valid base64"},
      {Joined({lines[0], "Rk" + lines[1].substr(2), lines[2], lines[3]}), "not Ed25519"},
      {Joined({lines[0], lines[1], lines[2], lines[3] + "AAAA"}), "global signature"},
      {Joined({lines[0], lines[1], "trusted comment: " + std::string(9000, 'x'), lines[3]}),
       "too long"},
  };
  for (const auto& [text, reason] : signatures) {
    const std::string failure = FormatFailure(ParseSignature, text);
    EXPECT_NE(failure.find(reason), std::string::npos) << text << ": " << failure;
  }
  const std::string pub = MinisignPublicKeyLine(test::TestUpdatePublicKey());
  for (const std::string& text :
       {std::string(""), pub + "\n" + pub, pub.substr(1), "Rk" + pub.substr(2)})
    EXPECT_NE(FormatFailure(ParsePublicKey, text), "") << text;
  EXPECT_NE(FormatFailure(ParseSecretKey, pub).find("bytes instead of 158"), std::string::npos);
}

// The tool's own files: its key pair without a password, a signature it
// made that we verify, and one we made that it verifies.
class MinisignTool : public test::TempDirTest {
 protected:
  void SetUp() override {
    test::TempDirTest::SetUp();
    if (std::system("command -v minisign >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "minisign is not installed";
    Run("minisign -G -W -p " + Q("k.pub") + " -s " + Q("k.key"));
    dir_.Write("update2.cgi", kMessage);
  }
  std::string Q(const char* name) const { return test::ShellQuote(dir_ / name); }
  int Run(const std::string& command) const {
    return std::system((command + " >/dev/null 2>&1").c_str());
  }
};

TEST_F(MinisignTool, ItsSignaturesVerifyHereAndOursThere) {
  const TMinisignPublicKey key = ParseMinisignPublicKey(test::ReadFile(dir_ / "k.pub"));
  for (const char* legacy : {"", " -l"}) {
    ASSERT_EQ(
        Run("minisign -S" + std::string(legacy) + " -s " + Q("k.key") + " -m " + Q("update2.cgi")),
        0);
    const TMinisignSignature signature =
        ParseMinisignSignature(test::ReadFile(dir_ / "update2.cgi.minisig"));
    EXPECT_EQ(signature.Prehashed, std::string(legacy).empty());
    EXPECT_EQ(MinisignVerifyFailure(kMessage, signature, key), std::nullopt) << legacy;
    EXPECT_NE(MinisignVerifyFailure("changed", signature, key), std::nullopt) << legacy;
  }
  const TMinisignSecretKey secret = ParseMinisignSecretKey(test::ReadFile(dir_ / "k.key"));
  EXPECT_EQ(secret.KeyId, key.KeyId);
  dir_.Write("update2.cgi.minisig", MinisignSign(kMessage, secret, "timestamp:1\tfile:x"));
  EXPECT_EQ(Run("minisign -V -p " + Q("k.pub") + " -m " + Q("update2.cgi")), 0);
  dir_.Write("update2.cgi", std::string(kMessage) + " ");
  EXPECT_NE(Run("minisign -V -p " + Q("k.pub") + " -m " + Q("update2.cgi")), 0);
}

TEST_F(MinisignTool, AnEncryptedSecretKeyIsRefusedWithTheToolsCommand) {
  std::string text = test::ReadFile(dir_ / "k.key");
  // "RWQAAEIy" starts "Ed", no KDF, "B2"; "RWRTY0Iy" is "Ed", "Sc", "B2".
  const size_t at = text.find("RWQAAEIy");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 8, "RWRTY0Iy");
  const std::string failure = FormatFailure(ParseSecretKey, text);
  EXPECT_NE(failure.find("encrypted"), std::string::npos) << failure;
  EXPECT_NE(failure.find("minisign -S"), std::string::npos) << failure;
}

}  // namespace
}  // namespace vexmoor
