// Arbitrary bytes as a .qcache file: the table never holds more records than
// the bytes can carry, and writing it back gives a file that reads the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scan/CacheTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  TCacheTable table;
  DecodeCacheFile(table, std::string_view(reinterpret_cast<const char*>(data), size));
  if (size < 10 && table.Count() != 0) __builtin_trap();
  if (size >= 10 && table.Count() > (size - 10) / 5) __builtin_trap();
  TCacheTable again;
  DecodeCacheFile(again, EncodeCacheFile(table));
  if (again.Count() != table.Count()) __builtin_trap();
  for (size_t i = 0; i < table.Count(); ++i) {
    if (again.Pairs()[i].Crc != table.Pairs()[i].Crc ||
        again.Pairs()[i].Flag != table.Pairs()[i].Flag) {
      __builtin_trap();
    }
    // Every CRC present answers with the flag of its first pair.
    const auto first = table.Find(table.Pairs()[i].Crc);
    if (first < 0 || size_t(first) > i) __builtin_trap();
    const auto flag = static_cast<int8_t>(table.Pairs()[size_t(first)].Flag);
    if (CacheLookup(table, table.Pairs()[i].Crc) != flag) __builtin_trap();
  }
  return 0;
}
