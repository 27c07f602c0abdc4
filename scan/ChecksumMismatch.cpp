#include "scan/ChecksumMismatch.h"

#include "catalogue/DigestKind.h"

namespace vexmoor {

std::string ChecksumMismatchText(const TChecksumMismatch& mismatch, const TRomItem& entry) {
  const std::string dump = mismatch.Member.empty() ? mismatch.Path : mismatch.Path + '\\' + mismatch.Member;
  return "Checksum mismatch: \"" + dump + "\" has the CRC-32 and size of " + entry.Index + " " +
         entry.Name + " but another " + DigestCaption(mismatch.Checksum);
}

}  // namespace vexmoor
