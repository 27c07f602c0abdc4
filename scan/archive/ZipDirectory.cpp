#include "scan/archive/ZipDirectory.h"

#include <utility>

#include "codec/ZipCentral.h"
#include "platform/File.h"

namespace vexmoor {

void ReadZipDirectory(const std::string& path, std::vector<TCmpRecord>& entries) {
  InputFile file(path);
  ReadZipCentralDirectory(file, TZipReading::Tolerant, [&](TZipRecord& record) {
    entries.push_back({std::move(record.Name), record.Crc, record.PackedSize, record.UnpackedSize});
  });
}

}  // namespace vexmoor
