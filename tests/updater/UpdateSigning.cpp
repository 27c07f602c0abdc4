#include "updater/UpdateSigning.h"

#include "updater/Sodium.h"

namespace vexmoor::test {

const TMinisignSecretKey& TestUpdateKey() {
  static const TMinisignSecretKey key = MinisignGenerateKey();
  return key;
}

TMinisignPublicKey TestUpdatePublicKey() { return MinisignPublicKeyOf(TestUpdateKey()); }

std::string SignList(std::string_view list) {
  return MinisignSign(list, TestUpdateKey(), "timestamp:0\tfile:update2.cgi\thashed");
}

std::string Sha256Hex(std::string_view data) {
  TSha256 sum;
  sum.Add(data);
  return sum.FinishHex();
}

std::string DatSection(const std::string& file, std::string_view content,
                       const std::string& timestamp) {
  return "[" + file + "]\r\nName=" + file + "\r\nFile=" + file + "\r\nTimestamp=" + timestamp +
         "\r\nSize=" + std::to_string(content.size()) + "\r\nSha256=" + Sha256Hex(content) + "\r\n";
}

}  // namespace vexmoor::test
