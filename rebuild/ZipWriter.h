// A zip of one or more members written front to back into a TPendingFile,
// with the same bytes for the same input every time: members in the order
// given, the time stamp 1980-01-01 00:00, no extra fields, no comment, no
// attributes, made by "MS-DOS 2.0". Each member's CRC and sizes follow its
// data in a data descriptor (general flag bit 3) and in the central
// directory, so nothing is written twice. Deflated members go through zlib
// (raw deflate, level 6). Without zip64: a member or archive past 4 GiB is
// refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexmoor {

class TPendingFile;

class TZipWriter {
 public:
  // `file` must outlive the writer; nothing is committed by it.
  TZipWriter(TPendingFile& file, bool deflate);
  ~TZipWriter();
  TZipWriter(const TZipWriter&) = delete;
  TZipWriter& operator=(const TZipWriter&) = delete;

  // Starts a member stored under `name` (UTF-8; '/' between folders).
  void BeginMember(const std::string& name);
  // Adds bytes to the current member. Throws IoError when the file cannot
  // be written, Error past 4 GiB.
  void Write(std::string_view data);
  // Ends the current member: its data descriptor.
  void EndMember();
  // Writes the central directory and the end record, and flushes.
  void Finish();

  // CRC-32 and size of the bytes given to the last member ended.
  uint32_t LastCrc() const { return entries_.empty() ? 0 : entries_.back().Crc; }
  uint64_t LastSize() const { return entries_.empty() ? 0 : entries_.back().Size; }

 private:
  struct TEntry {
    std::string Name;
    uint32_t Offset = 0;
    uint32_t Crc = 0;
    uint64_t Size = 0;
    uint64_t Packed = 0;
  };
  void Put(std::string_view bytes);
  void Deflate(std::string_view data, int flush);
  void Flush();
  uint16_t Flags(const std::string& name) const;

  TPendingFile& file_;
  bool deflate_;
  std::vector<TEntry> entries_;
  bool open_ = false;
  uint64_t written_ = 0;
  std::string buffer_;
  struct TDeflater;
  TDeflater* deflater_ = nullptr;
};

}  // namespace vexmoor
