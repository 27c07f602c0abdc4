// A hostile update service on 127.0.0.1: lists that are unsigned, signed by
// a stranger or changed after signing offer nothing, and say which URL,
// which key and what to do.
#include "updater/UpdateTrust.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "updater/ScriptedServer.h"
#include "updater/UpdateSigning.h"
#include "updater/Updater.h"

namespace vexmoor {
namespace {

using test::ScriptedServer;
using test::ServerConnection;

const std::string kList = test::DatSection("a.qdat", "the dat");

std::string Ok(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Serves the list and `signature` (a 404 when it is empty).
ScriptedServer::Script Service(const std::string& list, const std::string& signature) {
  return [=](ServerConnection& connection) {
    const std::string request = connection.ReadRequest();
    if (request.rfind("GET /update/update2.cgi ", 0) == 0) {
      connection.Send(Ok(list));
    } else if (request.rfind("GET /update/update2.cgi.minisig ", 0) == 0 && !signature.empty()) {
      connection.Send(Ok(signature));
    } else if (!request.empty()) {
      connection.Send("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    }
  };
}

// The EUntrustedList text of a check against `server`, or "" when it passed.
std::string Refusal(const ScriptedServer& server,
                    std::vector<TMinisignPublicKey> keys = {test::TestUpdatePublicKey()}) {
  TByteCounters counters;
  TUpdater updater(server.Url("/update/"), counters);
  updater.SetTrustedKeys(std::move(keys));
  try {
    updater.FetchList();
  } catch (const EUntrustedList& error) {
    return error.what();
  }
  return "";
}

void ExpectHas(const std::string& text, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) EXPECT_NE(text.find(part), std::string::npos) << text;
}

TEST(UpdateTrust, ASignedListIsRead) {
  ScriptedServer server(Service(kList, test::SignList(kList)));
  EXPECT_EQ(Refusal(server), "");
  TUpdater updater(server.Url("/update/"));
  updater.SetTrustedKeys({test::TestUpdatePublicKey()});
  ASSERT_EQ(updater.FetchList().size(), 1u);
}

TEST(UpdateTrust, WithoutAKeyNothingIsFetchedAndTheTextSaysHowToSetOne) {
  ScriptedServer server(Service(kList, test::SignList(kList)));
  ExpectHas(Refusal(server, {}), {"need", "UpdatePublicKey", "--public-key"});
  EXPECT_TRUE(server.Requests().empty());
}

TEST(UpdateTrust, AnUnsignedListNamesTheSignatureUrl) {
  ScriptedServer server(Service(kList, ""));
  ExpectHas(Refusal(server), {"is not signed", server.Url("/update/update2.cgi.minisig"),
                              "Not Found", "minisign -S"});
}

TEST(UpdateTrust, AStrangersSignatureNamesBothKeys) {
  const TMinisignSecretKey stranger = MinisignGenerateKey();
  ScriptedServer server(Service(kList, MinisignSign(kList, stranger, "x")));
  ExpectHas(Refusal(server),
            {"signed by key ID " + MinisignKeyIdText(stranger.KeyId), "not trusted",
             MinisignKeyIdText(test::TestUpdateKey().KeyId), "UpdatePublicKey"});
}

TEST(UpdateTrust, AListChangedAfterSigningIsRefused) {
  // The attacker raises a file's Size and hash, keeping the old signature.
  const std::string changed = test::DatSection("a.qdat", "the attacker's dat");
  ScriptedServer server(Service(changed, test::SignList(kList)));
  ExpectHas(Refusal(server), {server.Url("/update/update2.cgi"), "changed after signing"});
  ScriptedServer garbage(Service(kList, "untrusted comment: x\nnot a signature\n"));
  ExpectHas(Refusal(garbage), {"does not read", "four lines"});
  // A signature endless enough to be no signature.
  ScriptedServer huge(Service(kList, std::string(kMaxUpdateSignatureSize + 1, 'A')));
  ExpectHas(Refusal(huge), {"is not signed", "larger than"});
}

TEST(UpdateTrust, KeysComeFromTheSettingAndFilesAndABadOneIsNamed) {
  const std::string line = MinisignPublicKeyLine(test::TestUpdatePublicKey());
  EXPECT_EQ(TrustedUpdateKeys("  ").size(), BuiltInUpdatePublicKey().empty() ? 0u : 1u);
  EXPECT_EQ(TrustedUpdateKeys(line, {"untrusted comment: k\n" + line + "\n"}, {"k.pub"}).size(),
            BuiltInUpdatePublicKey().empty() ? 2u : 3u);
  try {
    TrustedUpdateKeys("RWnonsense");
    FAIL();
  } catch (const FormatError& error) {
    ExpectHas(error.what(), {"UpdatePublicKey setting"});
  }
  try {
    TrustedUpdateKeys("", {"junk"}, {"k.pub"});
    FAIL();
  } catch (const FormatError& error) {
    ExpectHas(error.what(), {"\"k.pub\""});
  }
}

}  // namespace
}  // namespace vexmoor
