// Arbitrary bytes as an archive the scan verifies: its directory read by our
// reader, a plan that wants the SHA-1 of every member it lists, and every
// such member unpacked and summed through libarchive. Nothing may crash or
// hang, whatever sizes the headers claim; problems are named in the result.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/Errors.h"
#include "scan/ArchiveVerify.h"
#include "scan/VerifyPlan.h"
#include "scan/cmpread.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  namespace fs = std::filesystem;
  static const std::string path =
      (fs::temp_directory_path() / ("vexmoor-fuzz-verify-" + std::to_string(std::random_device()()) + ".zip")).string();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  TExamined result;
  try {
    TCmpRead reader;
    reader.SetFileName(path);
    result.Members = reader.Entries();
  } catch (const Error&) {
  }
  TCatalogue catalogue;
  for (const TCmpRecord& member : result.Members) {
    TRomItem& item = catalogue.Append();
    item.Crc = member.Crc;
    item.Size = member.UnpackedSize;
    item.Sha1 = std::string(40, '0');
  }
  const TVerifyPlan plan(catalogue, true);
  VerifyArchiveMembers(path, plan, result);
  if (!result.MemberDigests.empty() && result.MemberDigests.size() != result.Members.size())
    __builtin_trap();
  std::error_code ignored;
  fs::remove(path, ignored);
  return 0;
}
