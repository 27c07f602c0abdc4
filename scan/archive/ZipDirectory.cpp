#include "scan/archive/ZipDirectory.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "codec/Coding.h"
#include "codec/ZipCentral.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr uint16_t kAesExtraId = 0x9901;
constexpr uint16_t kAesMethod = 99;
constexpr uint16_t kAesWithoutCrc = 2;  // AE-2: the CRC field holds 0

// The AES extra field's vendor version (1: AE-1, 2: AE-2), 0 without one.
uint16_t AesVersion(std::string_view extra) {
  while (extra.size() >= 4) {
    const auto* head = reinterpret_cast<const uint8_t*>(extra.data());
    const size_t length = std::min<size_t>(LoadU16(head + 2), extra.size() - 4);
    if (LoadU16(head) == kAesExtraId && length >= 2) return LoadU16(head + 4);
    extra.remove_prefix(4 + length);
  }
  return 0;
}

}  // namespace

std::string ReadZipDirectory(const std::string& path, std::vector<TCmpRecord>& entries) {
  TInputFile file(path);
  uint64_t withoutCrc = 0;
  const std::string damage =
      ReadZipCentralDirectory(file, TZipReading::Tolerant, [&](TZipRecord& record) {
        // An AE-2 member stores no CRC of its contents: it cannot be matched.
        if (record.Method == kAesMethod && record.UnpackedSize != 0 &&
            AesVersion(record.Extra) == kAesWithoutCrc) {
          ++withoutCrc;
          return;
        }
        entries.push_back(
            {std::move(record.Name), record.Crc, record.PackedSize, record.UnpackedSize});
      });
  if (!damage.empty() || withoutCrc == 0) return damage;
  return "Encrypted zip archive: " + std::to_string(withoutCrc) +
         " AES-encrypted members store no CRC.";
}

}  // namespace vexmoor
