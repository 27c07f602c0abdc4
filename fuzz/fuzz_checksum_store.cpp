// Arbitrary bytes as the checksum store's file: opening it, loading its rows
// and writing one never crashes; a row written is then loaded back as
// written, whatever the file held, unless the store told of damage it found
// on the way (it sets the file aside and starts afresh: the row is lost, which
// only costs one file read in full).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "scan/store/ChecksumStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  namespace fs = std::filesystem;
  static const fs::path folder =
      fs::temp_directory_path() / ("vexmoor-fuzz-store-" + std::to_string(std::random_device()()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string path = (folder / "checksums.sqlite3").string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data),
                                              static_cast<std::streamsize>(size));
  bool told = false;
  TChecksumStore store(path, [&told](const std::string&) { told = true; });
  store.LoadUnder("").ForEach([](const std::string& name, const TKnownChecksum& row) {
    if (row.Sum.BadDump && !row.Sum.TestedForBadDump) __builtin_trap();
    if (name.empty()) __builtin_trap();
  });
  store.RowCount();
  if (!store.Usable()) return 0;
  told = false;  // what opening found is behind us; the row must survive now
  TChecksumRow row;
  row.Path = "/fuzz/x.nds";
  row.Stamp = {1, 2, 3, 4, 5};
  row.Sum = {0xDEADBEEF, true, false};
  if (store.Write({row}) != TChecksumStore::TWrite::Written || !store.Usable()) return 0;
  const TKnownChecksums known = store.LoadUnder("/fuzz/");
  const std::optional<TKnownChecksum> found = known.Find(row.Path);
  if (!store.Usable() || told) return 0;
  if (!found || !(found->Stamp == row.Stamp) || !(found->Sum == row.Sum))
    __builtin_trap();
  return 0;
}
