// Unpacking a packed 7z header: the only data the reader ever decodes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "scan/archive/SevenZipHeader.h"

namespace vexmoor {

// True when a coder of `folder` is the 7zAES cipher: the header is then
// unreadable without the password.
bool SevenZipFolderIsEncrypted(const TSevenZipFolder& folder);

// Unpacks `folder` from its one packed stream `packed`: a single Copy, LZMA
// or LZMA2 coder (liblzma's raw decoder with the coder's properties). The
// output is the folder's unpack size, which the caller has bounded; memory
// grows with the output actually produced, and the dictionary is never
// larger than the output. The folder's CRC, when stored, is checked. Throws
// SevenZipHeaderError for another coder chain, damaged data, output that
// ends early and a CRC that differs.
std::vector<uint8_t> DecodeSevenZipFolder(const TSevenZipFolder& folder, std::span<const uint8_t> packed);

}  // namespace vexmoor
