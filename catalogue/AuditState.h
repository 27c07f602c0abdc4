// The loaded dat and everything kept beside it. The main window owns exactly
// one; core functions take it (or the part they need) as a parameter.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/RomItem.h"

namespace vexmoor {

enum class TDatLoader { None, QuenDat, RomCenter };

struct TAuditState {
  TCatalogue Catalogue;
  // Entries whose status was StatusFound when the last scan's end pass ran.
  int32_t FoundCount = 0;
  // The dat's file name as the settings keep it (a bare name).
  std::string CurrentDat;
  // The MASK header value: ';'-separated masks of loose dump files.
  std::string DatMask;
  TDatLoader DatLoader = TDatLoader::None;
};

}  // namespace vexmoor
