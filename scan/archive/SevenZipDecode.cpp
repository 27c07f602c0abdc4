#include "scan/archive/SevenZipDecode.h"

#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "scan/CRC32.h"
#include "scan/archive/SevenZipFormat.h"

namespace vexmoor {

using namespace sevenzip;

namespace {

constexpr size_t kOutputStep = size_t{1} << 20;

[[noreturn]] void Fail(const char* what) { throw SevenZipHeaderError(std::string("Packed 7z header: ") + what + "."); }

struct TLzmaStream {
  lzma_stream stream = LZMA_STREAM_INIT;
  ~TLzmaStream() { lzma_end(&stream); }
};

// Decodes raw LZMA or LZMA2 until `size` bytes came out or the stream ended.
std::vector<uint8_t> DecodeLzma(lzma_vli filterId, const std::vector<uint8_t>& properties,
                                std::span<const uint8_t> packed, uint64_t size) {
  lzma_filter filters[2] = {{filterId, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_properties_decode(&filters[0], nullptr, properties.data(), properties.size()) != LZMA_OK) {
    Fail("bad coder properties");
  }
  const std::unique_ptr<void, decltype(&std::free)> options(filters[0].options, &std::free);
  // A dictionary larger than the output is never used; a hostile one could
  // ask for gigabytes.
  auto* lzma = static_cast<lzma_options_lzma*>(filters[0].options);
  lzma->dict_size = static_cast<uint32_t>(std::clamp<uint64_t>(size, LZMA_DICT_SIZE_MIN, lzma->dict_size));
  TLzmaStream coder;
  if (lzma_raw_decoder(&coder.stream, filters) != LZMA_OK) Fail("the decoder cannot start");
  coder.stream.next_in = packed.data();
  coder.stream.avail_in = packed.size();
  std::vector<uint8_t> out;
  size_t produced = 0;
  while (produced < size) {
    out.resize(static_cast<size_t>(std::min<uint64_t>(size, produced + kOutputStep)));
    coder.stream.next_out = out.data() + produced;
    coder.stream.avail_out = out.size() - produced;
    const size_t inputBefore = coder.stream.avail_in;
    const lzma_ret ret = lzma_code(&coder.stream, LZMA_RUN);
    const size_t made = out.size() - produced - coder.stream.avail_out;
    produced += made;
    if (ret == LZMA_STREAM_END) break;
    if (ret != LZMA_OK) Fail("the data is damaged");
    if (made == 0 && coder.stream.avail_in == inputBefore) Fail("the data ends early");
  }
  if (produced != size) Fail("the data ends early");
  return out;
}

}  // namespace

bool SevenZipFolderIsEncrypted(const TSevenZipFolder& folder) {
  return std::any_of(folder.Coders.begin(), folder.Coders.end(),
                     [](const TSevenZipCoder& coder) { return coder.MethodId == kAesCoder; });
}

std::vector<uint8_t> DecodeSevenZipFolder(const TSevenZipFolder& folder, std::span<const uint8_t> packed) {
  if (folder.Coders.size() != 1 || folder.NumPackedStreams != 1) Fail("unsupported coder chain");
  const TSevenZipCoder& coder = folder.Coders[0];
  const uint64_t size = folder.UnpackSize;
  std::vector<uint8_t> out;
  if (coder.MethodId == kCopyCoder) {
    if (packed.size() < size) Fail("the data ends early");
    out.assign(packed.begin(), packed.begin() + static_cast<ptrdiff_t>(size));
  } else if (coder.MethodId == kLzmaCoder) {
    out = DecodeLzma(LZMA_FILTER_LZMA1, coder.Properties, packed, size);
  } else if (coder.MethodId == kLzma2Coder) {
    out = DecodeLzma(LZMA_FILTER_LZMA2, coder.Properties, packed, size);
  } else {
    Fail("unsupported method");
  }
  if (folder.Crc && Crc32(out.data(), out.size()) != *folder.Crc) Fail("CRC mismatch");
  return out;
}

}  // namespace vexmoor
