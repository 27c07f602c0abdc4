#include "scan/archive/ArchiveCursor.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <type_traits>

#include "platform/Errors.h"
#include "scan/archive/RarVolumeName.h"
#include "scan/archive/SevenZipDirectory.h"
#include "scan/archive/SevenZipSource.h"
#include "scan/cmpread.h"

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

// The files libarchive reads as the archive at `path`: a rar set's volumes
// (or byte pieces), a 7z archive's ".001", ".002" ... volumes, or the file.
std::vector<std::string> ArchiveVolumes(const std::string& path) {
  const uint32_t signature = ReadSignature(path);
  if (signature == kRarSignature) return RarSetVolumes(path);
  if (signature == kSevenZipSignature || IsLaterSevenZipVolume(path)) return SevenZipVolumePaths(path);
  return {path};
}

}  // namespace

std::string SlashedMemberName(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

TArchiveCursor::TArchiveCursor(const std::string& path) : path_(path), block_(kBlockBytes) {
  for (const std::string& volume : ArchiveVolumes(path))
    volumes_.push_back(std::make_unique<TVolume>(TVolume{this, volume, nullptr, 0}));
  archive_ = archive_read_new();
  if (!archive_) throw Error("Out of memory while opening \"" + path + "\"");
  archive_read_support_format_zip(archive_);
  archive_read_support_format_7zip(archive_);
  archive_read_support_format_rar(archive_);
  archive_read_support_format_rar5(archive_);
  // Each volume is opened when libarchive moves to it and closed when it
  // moves on, so a set of many volumes holds one file open at a time.
  archive_read_set_open_callback(archive_, &TArchiveCursor::OpenVolume);
  archive_read_set_close_callback(archive_, &TArchiveCursor::CloseVolume);
  archive_read_set_read_callback(archive_, &TArchiveCursor::ReadBlock);
  archive_read_set_seek_callback(archive_, &TArchiveCursor::SeekTo);
  archive_read_set_callback_data(archive_, volumes_.front().get());
  for (size_t n = 1; n < volumes_.size(); ++n) archive_read_append_callback_data(archive_, volumes_[n].get());
  if (archive_read_open1(archive_) != ARCHIVE_OK) Fail("cannot be opened as an archive");
}

TArchiveCursor::~TArchiveCursor() { archive_read_free(archive_); }

std::vector<std::string> TArchiveCursor::Volumes() const {
  std::vector<std::string> paths;
  for (const auto& volume : volumes_) paths.push_back(volume->Path);
  return paths;
}

void TArchiveCursor::Fail(const std::string& what) {
  if (fileError_) std::rethrow_exception(fileError_);
  const char* reason = archive_error_string(archive_);
  const std::string set =
      volumes_.size() > 1 ? " (read as a set of " + std::to_string(volumes_.size()) + " volumes)" : "";
  throw FormatError("\"" + path_ + "\"" + set + " " + what + (reason ? std::string(": ") + reason : ""));
}

static_assert(std::is_same_v<la_ssize_t, std::ptrdiff_t>, "the read callback returns la_ssize_t");

int TArchiveCursor::OpenVolume(archive*, void* data) {
  auto* volume = static_cast<TVolume*>(data);
  try {
    if (!volume->File) volume->File = std::make_unique<TInputFile>(volume->Path);
    volume->File->Seek(0);
    volume->Position = 0;
    return ARCHIVE_OK;
  } catch (...) {
    if (!volume->Owner->fileError_) volume->Owner->fileError_ = std::current_exception();
    return ARCHIVE_FATAL;
  }
}

int TArchiveCursor::CloseVolume(archive*, void* data) {
  static_cast<TVolume*>(data)->File.reset();
  return ARCHIVE_OK;
}

std::ptrdiff_t TArchiveCursor::ReadBlock(archive* handle, void* data, const void** block) {
  auto* volume = static_cast<TVolume*>(data);
  TArchiveCursor* cursor = volume->Owner;
  *block = cursor->block_.data();
  if (!volume->File && OpenVolume(handle, data) != ARCHIVE_OK) return -1;
  try {
    const size_t got = volume->File->Read(cursor->block_.data(), cursor->block_.size());
    volume->Position += got;
    return std::ptrdiff_t(got);
  } catch (...) {
    if (!cursor->fileError_) cursor->fileError_ = std::current_exception();
    return -1;
  }
}

int64_t TArchiveCursor::SeekTo(archive* handle, void* data, int64_t offset, int whence) {
  auto* volume = static_cast<TVolume*>(data);
  if (!volume->File && OpenVolume(handle, data) != ARCHIVE_OK) return ARCHIVE_FATAL;
  try {
    const int64_t size = int64_t(volume->File->Size());
    int64_t position = offset;
    if (whence == SEEK_END) position = size + offset;
    if (whence == SEEK_CUR) position = int64_t(volume->Position) + offset;
    if (position < 0) return ARCHIVE_FATAL;
    volume->File->Seek(uint64_t(position));
    volume->Position = uint64_t(position);
    return position;
  } catch (...) {
    if (!volume->Owner->fileError_) volume->Owner->fileError_ = std::current_exception();
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
