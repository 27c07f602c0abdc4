// Signed update lists for the tests: one key pair per test process, the
// list's signature, and sections that describe a file's bytes.
#pragma once

#include <string>
#include <string_view>

#include "updater/Minisign.h"

namespace vexmoor::test {

// The process's test key (made on first use).
const TMinisignSecretKey& TestUpdateKey();
TMinisignPublicKey TestUpdatePublicKey();

// The `.minisig` text of `list` by the test key.
std::string SignList(std::string_view list);

// SHA-256 of `data` as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view data);

// "[file]" with File, Name, Timestamp, Size and Sha256 of `content`, CR LF ends.
std::string DatSection(const std::string& file, std::string_view content,
                       const std::string& timestamp = "46000");

}  // namespace vexmoor::test
