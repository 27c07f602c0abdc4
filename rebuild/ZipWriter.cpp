#include "rebuild/ZipWriter.h"

#include <zlib.h>

#include <limits>

#include "platform/Errors.h"
#include "platform/File.h"
#include "scan/CRC32.h"

namespace vexmoor {

namespace {

constexpr size_t kBufferBytes = size_t{1} << 20;
constexpr uint16_t kVersion = 20;       // 2.0: deflate and folders
constexpr uint16_t kDescriptorFlag = 0x0008;
constexpr uint16_t kUtf8Flag = 0x0800;
constexpr uint16_t kDosDate = 0x0021;   // 1980-01-01
constexpr uint64_t kLargest = std::numeric_limits<uint32_t>::max();

void PutU16(std::string& out, uint16_t v) {
  out += char(v & 0xFF);
  out += char(v >> 8);
}
void PutU32(std::string& out, uint32_t v) {
  PutU16(out, uint16_t(v));
  PutU16(out, uint16_t(v >> 16));
}

}  // namespace

struct TZipWriter::TDeflater {
  z_stream stream{};
};

TZipWriter::TZipWriter(TPendingFile& file, bool deflate) : file_(file), deflate_(deflate) {
  buffer_.reserve(kBufferBytes);
}

TZipWriter::~TZipWriter() {
  if (deflater_) deflateEnd(&deflater_->stream);
  delete deflater_;
}

uint16_t TZipWriter::Flags(const std::string& name) const {
  for (const char c : name)
    if (static_cast<unsigned char>(c) >= 0x80) return kDescriptorFlag | kUtf8Flag;
  return kDescriptorFlag;
}

void TZipWriter::Put(std::string_view bytes) {
  written_ += bytes.size();
  if (written_ > kLargest) throw Error("the zip would pass 4 GiB, which needs zip64");
  buffer_ += bytes;
  if (buffer_.size() >= kBufferBytes) Flush();
}

void TZipWriter::Flush() {
  if (buffer_.empty()) return;
  file_.Append(buffer_);
  buffer_.clear();
}

void TZipWriter::BeginMember(const std::string& name) {
  if (open_) EndMember();
  if (name.size() > 0xFFFF) throw Error("a zip member name is longer than 65535 bytes");
  TEntry entry;
  entry.Name = name;
  entry.Offset = uint32_t(written_);
  std::string header;
  PutU32(header, 0x04034B50);
  PutU16(header, kVersion), PutU16(header, Flags(name)), PutU16(header, deflate_ ? 8 : 0);
  PutU16(header, 0), PutU16(header, kDosDate);
  PutU32(header, 0), PutU32(header, 0), PutU32(header, 0);  // in the descriptor
  PutU16(header, uint16_t(name.size())), PutU16(header, 0);
  Put(header + name);
  entries_.push_back(entry);
  open_ = true;
  if (!deflate_) return;
  if (!deflater_) deflater_ = new TDeflater;
  else deflateEnd(&deflater_->stream);
  deflater_->stream = z_stream{};
  if (deflateInit2(&deflater_->stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw Error("zlib could not start a deflate stream");
}

void TZipWriter::Deflate(std::string_view data, int flush) {
  z_stream& stream = deflater_->stream;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = uInt(data.size());
  char out[65536];
  int result = Z_OK;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = sizeof out;
    result = deflate(&stream, flush);
    if (result == Z_STREAM_ERROR) throw Error("zlib failed while deflating");
    const size_t produced = sizeof out - stream.avail_out;
    entries_.back().Packed += produced;
    Put(std::string_view(out, produced));
  } while (stream.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
}

void TZipWriter::Write(std::string_view data) {
  TEntry& entry = entries_.back();
  // Keep each call within what zlib's 32-bit counts take.
  while (!data.empty()) {
    const std::string_view piece = data.substr(0, size_t{1} << 30);
    data.remove_prefix(piece.size());
    entry.Crc = Crc32(piece.data(), piece.size(), entry.Crc);
    entry.Size += piece.size();
    if (entry.Size > kLargest) throw Error("a zip member would pass 4 GiB, which needs zip64");
    if (deflate_) {
      Deflate(piece, Z_NO_FLUSH);
    } else {
      entry.Packed += piece.size();
      Put(piece);
    }
  }
}

void TZipWriter::EndMember() {
  if (!open_) return;
  if (deflate_) Deflate({}, Z_FINISH);
  open_ = false;
  const TEntry& entry = entries_.back();
  std::string descriptor;
  PutU32(descriptor, 0x08074B50);
  PutU32(descriptor, entry.Crc), PutU32(descriptor, uint32_t(entry.Packed));
  PutU32(descriptor, uint32_t(entry.Size));
  Put(descriptor);
}

void TZipWriter::Finish() {
  EndMember();
  const uint64_t directoryStart = written_;
  std::string directory;
  for (const TEntry& entry : entries_) {
    PutU32(directory, 0x02014B50);
    PutU16(directory, kVersion), PutU16(directory, kVersion);
    PutU16(directory, Flags(entry.Name)), PutU16(directory, deflate_ ? 8 : 0);
    PutU16(directory, 0), PutU16(directory, kDosDate);
    PutU32(directory, entry.Crc), PutU32(directory, uint32_t(entry.Packed));
    PutU32(directory, uint32_t(entry.Size));
    PutU16(directory, uint16_t(entry.Name.size()));
    PutU16(directory, 0), PutU16(directory, 0), PutU16(directory, 0), PutU16(directory, 0);
    PutU32(directory, 0), PutU32(directory, entry.Offset);
    directory += entry.Name;
  }
  Put(directory);
  if (entries_.size() > 0xFFFF) throw Error("a zip of more than 65535 members needs zip64");
  std::string end;
  PutU32(end, 0x06054B50);
  PutU16(end, 0), PutU16(end, 0);
  PutU16(end, uint16_t(entries_.size())), PutU16(end, uint16_t(entries_.size()));
  PutU32(end, uint32_t(directory.size())), PutU32(end, uint32_t(directoryStart));
  PutU16(end, 0);
  Put(end);
  Flush();
}

}  // namespace vexmoor
