// What a dat loader produces: the catalogue of one dat file and the values
// read with it. A loader fills it and never looks at the scan-result cache;
// the audit session (scan/AuditState) seeds the entries' statuses.
#pragma once

#include <string>

#include "catalogue/DatFormat.h"
#include "catalogue/DatHeader.h"
#include "catalogue/RomItem.h"

namespace vexmoor {

struct TLoadedDat {
  TCatalogue Catalogue;
  // The MASK header value: ';'-separated masks of loose dump files.
  std::string DatMask;
  // The header view of the loaded dat's text.
  TDatHeader DatHeader;

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
};

}  // namespace vexmoor
