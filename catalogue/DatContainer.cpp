#include "catalogue/DatContainer.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "catalogue/General.h"
#include "catalogue/Rc4.h"
#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

std::string ReadContainerBlock(const std::string& path) {
  InputFile file(path);
  const uint64_t size = file.Size();
  std::string block(size > kContainerHeaderSize ? size - kContainerHeaderSize : 0, '\0');
  block.resize(file.ReadAt(kContainerHeaderSize, block.data(), block.size()));
  return block;
}

double DoubleFromLittleEndian(const unsigned char* bytes) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | bytes[i];
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

std::optional<std::string> ReadQuenDatText(const std::string& path) {
  if (!FileHasSignature(path, kContainerMagic, 0)) return ReadWholeFile(path);
  return OpenContainerBlock(ReadContainerBlock(path));
}

std::optional<std::string> OpenContainerBlock(std::string block) {
  Rc4SetKey(kDatKey);
  Rc4CryptStream(block);
  throw Error("Dat containers cannot be unpacked yet");
}

std::string MakeDatContainer(std::string_view, double) {
  throw Error("Dat containers cannot be packed yet");
}

void WriteDatContainer(const std::string& path, std::string_view text, double timeStamp) {
  WriteFileAtomically(path, MakeDatContainer(text, timeStamp));
}

double ReadDatTimeStamp(const std::string& path) {
  if (!FileHasSignature(path, kContainerMagic, 0)) return 0;
  InputFile file(path);
  unsigned char bytes[8];
  if (file.ReadAt(kContainerMagic.size(), bytes, sizeof bytes) != sizeof bytes) return 0;
  const double stamp = DoubleFromLittleEndian(bytes);
  return std::isfinite(stamp) ? stamp : 0;
}

}  // namespace vexmoor
