#include "rebuild/SourceReader.h"

#include "platform/Errors.h"

namespace vexmoor {

TSourceReader::TSourceReader(const std::string& path, const std::string& member) {
  if (member.empty()) {
    loose_ = std::make_unique<TInputFile>(path);
    loose_->AdviseSequential();
    return;
  }
  archive_ = std::make_unique<TArchiveCursor>(path);
  std::string name;
  uint64_t size = 0;
  while (archive_->NextFile(name, size))
    if (archive_->CurrentIs(member)) return;
  throw Error("\"" + path + "\" holds no member \"" + member + "\" any more");
}

size_t TSourceReader::Read(void* buffer, size_t size) {
  return loose_ ? loose_->Read(buffer, size) : archive_->Read(buffer, size);
}

}  // namespace vexmoor
