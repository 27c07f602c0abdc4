#include "scan/archive/ArchiveCursor.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>

#include "platform/Errors.h"

namespace vexmoor {

namespace {

constexpr size_t kBlockBytes = size_t{1} << 20;

// The member's name as the scan recorded it: the bytes the archive stores,
// which libarchive gives as UTF-8 or in the current locale.
bool SameMemberName(archive_entry* entry, const std::string& name) {
  const char* plain = archive_entry_pathname(entry);
  const char* utf8 = archive_entry_pathname_utf8(entry);
  const std::string wanted = SlashedMemberName(name);
  return (plain && wanted == SlashedMemberName(plain)) || (utf8 && wanted == SlashedMemberName(utf8));
}

}  // namespace

std::string SlashedMemberName(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

TArchiveCursor::TArchiveCursor(const std::string& path) : file_(path), block_(kBlockBytes) {
  archive_ = archive_read_new();
  if (!archive_) throw Error("Out of memory while opening \"" + path + "\"");
  archive_read_support_format_zip(archive_);
  archive_read_support_format_7zip(archive_);
  archive_read_support_format_rar(archive_);
  archive_read_support_format_rar5(archive_);
  archive_read_set_callback_data(archive_, this);
  archive_read_set_read_callback(archive_, &TArchiveCursor::ReadBlock);
  archive_read_set_seek_callback(archive_, &TArchiveCursor::SeekTo);
  if (archive_read_open1(archive_) != ARCHIVE_OK) Fail("cannot be opened as an archive");
}

TArchiveCursor::~TArchiveCursor() { archive_read_free(archive_); }

void TArchiveCursor::Fail(const std::string& what) {
  if (fileError_) std::rethrow_exception(fileError_);
  const char* reason = archive_error_string(archive_);
  throw FormatError("\"" + file_.Path() + "\" " + what + (reason ? std::string(": ") + reason : ""));
}

long TArchiveCursor::ReadBlock(archive*, void* self, const void** block) {
  auto* cursor = static_cast<TArchiveCursor*>(self);
  *block = cursor->block_.data();
  try {
    const size_t got = cursor->file_.Read(cursor->block_.data(), cursor->block_.size());
    cursor->position_ += got;
    return long(got);
  } catch (...) {
    cursor->fileError_ = std::current_exception();
    return -1;
  }
}

int64_t TArchiveCursor::SeekTo(archive*, void* self, int64_t offset, int whence) {
  auto* cursor = static_cast<TArchiveCursor*>(self);
  try {
    const int64_t size = int64_t(cursor->file_.Size());
    int64_t position = offset;
    if (whence == SEEK_END) position = size + offset;
    if (whence == SEEK_CUR) position = int64_t(cursor->position_) + offset;
    if (position < 0) return ARCHIVE_FATAL;
    cursor->file_.Seek(uint64_t(position));
    cursor->position_ = uint64_t(position);
    return position;
  } catch (...) {
    cursor->fileError_ = std::current_exception();
    return ARCHIVE_FATAL;
  }
}

bool TArchiveCursor::NextFile(std::string& name, uint64_t& size) {
  for (;;) {
    archive_entry* entry = nullptr;
    const int result = archive_read_next_header(archive_, &entry);
    if (result == ARCHIVE_EOF) return false;
    if (result < ARCHIVE_WARN) Fail("is damaged");
    if (archive_entry_filetype(entry) != AE_IFREG) continue;
    const char* utf8 = archive_entry_pathname_utf8(entry);
    const char* plain = archive_entry_pathname(entry);
    name = plain ? plain : utf8 ? utf8 : "";
    size = archive_entry_size_is_set(entry) ? uint64_t(archive_entry_size(entry)) : 0;
    lastEntry_ = entry;
    return true;
  }
}

size_t TArchiveCursor::Read(void* buffer, size_t size) {
  const la_ssize_t got = archive_read_data(archive_, buffer, size);
  if (got < 0) Fail("cannot be unpacked");
  return size_t(got);
}

bool TArchiveCursor::CurrentIs(const std::string& name) const {
  return lastEntry_ && SameMemberName(lastEntry_, name);
}

std::vector<TArchiveMember> ListArchive(const std::string& path) {
  TArchiveCursor cursor(path);
  std::vector<TArchiveMember> members;
  TArchiveMember member;
  while (cursor.NextFile(member.Name, member.Size)) members.push_back(member);
  return members;
}

}  // namespace vexmoor
