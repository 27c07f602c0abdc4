#include "scan/AuditState.h"

#include <optional>
#include <utility>

#include "catalogue/General.h"
#include "platform/Errors.h"

namespace vexmoor {

void SeedStatuses(TCatalogue& catalogue, const TCacheTable& cache, size_t count) {
  for (size_t at = 0; at < count && at < catalogue.Count(); ++at) {
    TRomItem& entry = catalogue[at];
    entry.Status = CacheLookup(cache, entry.Crc);
    if (entry.Status == StatusCached) entry.StatusText = "Cached";
  }
}

bool RunDatLoader(TAuditState& state, const std::string& path) {
  if (state.DatLoader == TDatLoader::None) return false;
  if (state.ScanRunning) throw Error("A scan is running; the dat cannot be loaded until it ends.");
  std::optional<TCacheTable> read;
  if (state.CacheResults) ReadCacheFile(read.emplace(), ChangeExt(path, ".qcache"));
  const auto adopt = [&] {
    if (read) state.CacheTable = std::move(*read);
  };
  const uint64_t generation = state.Catalogue.Generation();
  try {
    if (!LoadDatWith(state, path, state.DatLoader)) return false;
  } catch (...) {
    const size_t left = state.Catalogue.Count();
    if (state.Catalogue.Generation() != generation && left > 0) {
      adopt();
      SeedStatuses(state.Catalogue, state.CacheTable, left - 1);
    }
    throw;
  }
  adopt();
  SeedStatuses(state.Catalogue, state.CacheTable);
  return true;
}

}  // namespace vexmoor
