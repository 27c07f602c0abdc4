// The loaded dat and everything kept beside it. The main window owns exactly
// one; core functions take it (or the part they need) as a parameter.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/DatFormat.h"
#include "catalogue/DatHeader.h"
#include "catalogue/RomItem.h"
#include "scan/CacheTable.h"

namespace vexmoor {

// The loader a caller chose: by name (start-up, the command-line tool), by
// the pick dialog's filter entry, or OtherDat ("Other Dat Files"), which goes
// by content alone. Whatever was chosen, a file whose content is a Logiqx,
// clrmamepro or OfflineList dat, or a zip, is read as what it is.
enum class TDatLoader { None, QuenDat, RomCenter, OtherDat };

struct TAuditState {
  TCatalogue Catalogue;
  // Entries whose status was StatusFound when the last scan's end pass ran.
  int32_t FoundCount = 0;
  // The dat's file name as the settings keep it (a bare name).
  std::string CurrentDat;
  // The MASK header value: ';'-separated masks of loose dump files.
  std::string DatMask;
  // The header view of the loaded dat's text.
  TDatHeader DatHeader;
  // The loader chosen last; never reset once set.
  TDatLoader DatLoader = TDatLoader::None;

  // The absolute path the loaded dat was read from. Its cache file is
  // ChangeExt(DatPath, ".qcache"), beside the dat, whatever the current
  // folder is when a scan writes it.
  std::string DatPath;
  // The column names the list is set up from (SetupColumns): the dat's
  // FIELDS value, or "INDEX|CRC32|NAME" for Rom Center dats.
  std::string DatFields;
  // What the last load read: the format, and the zip member it came from
  // ("" when the file was not a zip).
  TDatFormat DatFormat = TDatFormat::None;
  std::string DatMember;

  // The Cache Results option: loading reads the dat's cache file and the
  // scan writes it only when this is set.
  bool CacheResults = true;
  // CRC to status of what scans have found; outlives loads (a load with
  // CacheResults off keeps it as it is).
  TCacheTable CacheTable;

  // The Match Trimmed Dumps option: a dump or archive member whose CRC
  // matches no entry is also tried as a trimmed image (scan/TrimmedImage).
  bool MatchTrimmed = true;

  // The Remember Checksums option: a scan takes the CRC of an unchanged
  // loose dump from the checksum store (scan/store/ChecksumStore) instead of
  // reading it, and writes the rows of the files it reads.
  bool ChecksumCache = true;

  // Set while a scan runs: a second scan is refused, and so is a load, which
  // would replace the catalogue under the scan.
  bool ScanRunning = false;
};

}  // namespace vexmoor
