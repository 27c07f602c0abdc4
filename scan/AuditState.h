// The audit session: the loaded dat and everything kept beside it (the
// scan-result cache, the options, the counts). The main window owns exactly
// one; core functions take it (or the part they need) as a parameter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "catalogue/DatLoader.h"
#include "catalogue/LoadedDat.h"
#include "scan/CacheTable.h"

namespace vexmoor {

struct TAuditState : TLoadedDat {
  // Entries whose status was StatusFound when the last scan's end pass ran.
  int32_t FoundCount = 0;
  // The dat's file name as the settings keep it (a bare name).
  std::string CurrentDat;
  // The loader chosen last; never reset once set.
  TDatLoader DatLoader = TDatLoader::None;

  // The Cache Results option: loading reads the dat's cache file and the
  // scan writes it only when this is set.
  bool CacheResults = true;
  // CRC to status of what scans have found; outlives loads (a load with
  // CacheResults off keeps it as it is).
  TCacheTable CacheTable;

  // The Match Trimmed Dumps option: a dump or archive member whose CRC
  // matches no entry is also tried as a trimmed image (scan/TrimmedImage).
  bool MatchTrimmed = true;

  // The Verify Archive Contents option: an archive member whose CRC and
  // size are those of an entry with a strong checksum (MD5, SHA-1, SHA-256)
  // is unpacked in a stream and summed, as a loose dump always is. Off, an
  // archive costs only its directory read.
  bool VerifyArchives = false;

  // The Remember Checksums option: a scan takes the CRC of an unchanged
  // loose dump from the checksum store (scan/store/ChecksumStore) instead of
  // reading it, and writes the rows of the files it reads.
  bool ChecksumCache = true;

  // Set while a scan runs: a second scan is refused, and so is a load, which
  // would replace the catalogue under the scan.
  bool ScanRunning = false;
};

// Gives each of the first `count` entries the status `cache` records for its
// CRC (CacheLookup: -1, StatusMissing, when it records none), and "Cached" as
// StatusText when that status is StatusCached.
void SeedStatuses(TCatalogue& catalogue, const TCacheTable& cache, size_t count);
inline void SeedStatuses(TCatalogue& catalogue, const TCacheTable& cache) {
  SeedStatuses(catalogue, cache, catalogue.Count());
}

// Loads the dat at `path` into the session with the loader state.DatLoader
// names (LoadDatWith), once and in this order:
// 1. with CacheResults, the cache file ChangeExt(path, ".qcache") is read
//    (the cache lies beside the file the user chose, a zip included);
// 2. the loader runs;
// 3. the table read replaces CacheTable (without CacheResults the table
//    carries over), and every entry takes its status from it.
// Returns false, having changed nothing, when no loader is set or the load
// stopped without a message (a container that does not decipher).
//
// Throws, having changed nothing: Error while a scan runs; what reading the
// cache file throws; what the loader throws before it replaced the
// catalogue (an unreadable file, a malformed game dat or zip). A loader that
// throws after replacing the catalogue leaves what its contract says (a bad
// CRC text: the entries before the bad line; no data section: none); the
// table read then replaces CacheTable only when entries are left, and they
// take their statuses from it.
bool RunDatLoader(TAuditState& state, const std::string& path);

}  // namespace vexmoor
