// TaPLib: the component around PackBlock and UnpackBlock that owns the
// buffers and turns failures into errors with the codec's messages.
#include "codec/aPLib.h"

#include <new>

#include "codec/ApFormat.h"
#include "platform/Errors.h"

namespace vexmoor {

namespace {

std::unique_ptr<uint8_t[]> Allocate(uint64_t size) {
  if (size > SIZE_MAX) return nullptr;
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size_t(size)]);
}

}  // namespace

TaPLib::TaPLib() = default;
TaPLib::~TaPLib() = default;

void TaPLib::Release() {
  output_.reset();
  Destination = nullptr;
}

void TaPLib::Pack() {
  Release();
  work_.reset();
  output_ = Allocate(ap::BlockBound(Length));
  if (output_) work_ = Allocate(ap::kWorkMemorySize);
  if (!output_ || !work_) {
    Release();
    throw Error("Out of memory");
  }
  const auto blockLength = PackBlock(Source, output_.get(), Length, work_.get());
  if (!blockLength) {
    Release();
    throw Error("Compression error");
  }
  Length = static_cast<uint32_t>(*blockLength);
  Destination = output_.get();
}

void TaPLib::UnPack() {
  Release();
  const auto unpackedSize = GetUnpackedSize(Source, Length);
  if (!unpackedSize) throw FormatError("File is not packed with aPLib");
  // An empty result or one of 2 GiB and more is refused like a failed allocation.
  if (*unpackedSize == 0 || *unpackedSize >= 0x80000000u) throw Error("Out of memory");
  output_ = Allocate(*unpackedSize);
  if (!output_) throw Error("Out of memory");
  const auto decoded = UnpackBlock(Source, Length, output_.get(), *unpackedSize);
  if (!decoded) {
    Release();
    throw FormatError("Decompression error");
  }
  Length = *decoded;
  Destination = output_.get();
}

}  // namespace vexmoor
