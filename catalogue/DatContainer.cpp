#include "catalogue/DatContainer.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "catalogue/General.h"
#include "catalogue/Rc4.h"
#include "codec/aPLib.h"
#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

std::string ReadContainerBlock(const std::string& path) {
  TInputFile file(path);
  const uint64_t size = file.Size();
  std::string block(size > kContainerHeaderSize ? size - kContainerHeaderSize : 0, '\0');
  block.resize(file.ReadAt(kContainerHeaderSize, block.data(), block.size()));
  return block;
}

static_assert(std::numeric_limits<double>::is_iec559, "time stamps are IEEE 754 doubles");

void AppendLittleEndian(std::string& out, double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 8; ++i) out += static_cast<char>((bits >> (8 * i)) & 0xFF);
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
  if (!GetUnpackedSize(block.data(), block.size())) return std::nullopt;
  // The codec's lengths are 32-bit; a longer block cannot be a sound one.
  if (block.size() > std::numeric_limits<uint32_t>::max()) throw FormatError("Decompression error");
  TaPLib codec;
  codec.Source = block.data();
  codec.Length = static_cast<uint32_t>(block.size());
  codec.UnPack();
  return std::string(reinterpret_cast<const char*>(codec.Destination), codec.Length);
}

std::string MakeDatContainer(std::string_view text, double timeStamp) {
  if (text.size() > std::numeric_limits<uint32_t>::max()) throw Error("Compression error");
  TaPLib codec;
  codec.Source = text.data();
  codec.Length = static_cast<uint32_t>(text.size());
  codec.Pack();
  std::string block(reinterpret_cast<const char*>(codec.Destination), codec.Length);
  Rc4SetKey(kDatKey);
  Rc4CryptStream(block);
  std::string container(kContainerMagic);
  container.reserve(kContainerHeaderSize + block.size());
  AppendLittleEndian(container, timeStamp);
  container.append(block);
  return container;
}

void WriteDatContainer(const std::string& path, std::string_view text, double timeStamp) {
  WriteFileAtomically(path, MakeDatContainer(text, timeStamp));
}

double ReadDatTimeStamp(const std::string& path) {
  if (!FileHasSignature(path, kContainerMagic, 0)) return 0;
  TInputFile file(path);
  unsigned char bytes[8];
  if (file.ReadAt(kContainerMagic.size(), bytes, sizeof bytes) != sizeof bytes) return 0;
  const double stamp = DoubleFromLittleEndian(bytes);
  return std::isfinite(stamp) ? stamp : 0;
}

}  // namespace vexmoor
