// Arbitrary bytes as a dat source for the encoder's TIMESTAMP rewrite, and as
// an update keys file. The rewrite must leave a text whose header view reads
// the new value, with at most two lines more than before.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "catalogue/DatHeader.h"
#include "catalogue/TextLines.h"
#include "encoder/IniTimestamp.h"
#include "encoder/UpdateKeys.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  constexpr std::string_view kValue = "46363.25";
  const std::string out = SetDatTimeStamp(text, kValue);
  const TDatHeader header(SplitLines(WithoutByteOrderMark(out)));
  if (header.ReadString(kInfoSection, "TIMESTAMP", "") != kValue) __builtin_trap();
  const size_t before = SplitLines(WithoutByteOrderMark(text)).size();
  const size_t after = SplitLines(WithoutByteOrderMark(out)).size();
  if (after < before || after > before + 2) __builtin_trap();
  try {
    ParseUpdateKeys(text);
  } catch (const FormatError&) {
  }
  return 0;
}
