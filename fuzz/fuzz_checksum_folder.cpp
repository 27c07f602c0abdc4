// Arbitrary bytes as one folder's row of the checksum store (the packed
// records of its files): decoding never reads outside them or crashes;
// what it accepts is in ascending order of name with names of one path
// component, and encodes back into a blob that decodes to the same records
// with none passed over.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "scan/store/KnownChecksums.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  const std::string_view blob(reinterpret_cast<const char*>(data), size);
  std::vector<TFileRecord> files;
  TFolderReader reader(blob);
  TFileRecord record;
  while (reader.Next(record)) {
    if (record.Name.empty() || FileNameStart("/x/" + record.Name) != 3) __builtin_trap();
    if (!files.empty() && !(files.back().Name < record.Name)) __builtin_trap();
    if (record.Known.Sum.BadDump && !record.Known.Sum.TestedForBadDump) __builtin_trap();
    if ((record.Known.Sum.ImageSize == 0) != (record.Known.Sum.Digests.Kinds() == 0))
      __builtin_trap();
    files.push_back(record);
  }
  std::vector<TFileRecord> whole;
  if (DecodeFolderFiles(blob, whole) == reader.Broken()) __builtin_trap();
  if (reader.Broken()) return 0;
  const std::string again = EncodeFolderFiles(files);
  TFolderReader second(again);
  size_t read = 0;
  while (second.Next(record)) {
    if (read >= files.size() || record.Name != files[read].Name ||
        !(record.Known.Stamp == files[read].Known.Stamp) ||
        !(record.Known.Sum == files[read].Known.Sum))
      __builtin_trap();
    ++read;
  }
  if (read != files.size() || second.Rejected() != 0 || second.Broken()) __builtin_trap();
  return 0;
}
