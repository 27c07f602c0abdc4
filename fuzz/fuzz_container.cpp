// Arbitrary bytes as the deciphered block of a dat container: they are
// enciphered with the dat key first, so the fuzzer steers what the reader
// sees after deciphering. A block that unpacks is parsed as a native dat,
// and its text must survive a write and read of a new container.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "catalogue/DatContainer.h"
#include "catalogue/DatLoader.h"
#include "catalogue/Rc4.h"
#include "codec/aPLib.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  // Blocks may claim up to 2 GiB; dats are small, and repacking huge texts
  // would only slow the search down.
  const auto claimed = GetUnpackedSize(data, size);
  if (claimed && *claimed > (1u << 16)) return 0;
  std::string block(reinterpret_cast<const char*>(data), size);
  Rc4SetKey(kDatKey);
  Rc4CryptStream(block);
  std::optional<std::string> text;
  try {
    text = OpenContainerBlock(block);
  } catch (const Error&) {
    return 0;
  }
  if (!text) return 0;
  TLoadedDat loaded;
  try {
    LoadNativeText(loaded, "fuzz.qdat", *text);
  } catch (const FormatError&) {
  }
  if (text->empty()) return 0;
  const std::string container = MakeDatContainer(*text, 1.5);
  if (OpenContainerBlock(container.substr(kContainerHeaderSize)) != text) __builtin_trap();
  return 0;
}
