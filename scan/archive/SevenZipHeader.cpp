#include "scan/archive/SevenZipHeader.h"

#include <algorithm>

#include "scan/archive/SevenZipCursor.h"
#include "scan/archive/SevenZipFormat.h"

namespace vexmoor {

using namespace sevenzip;

namespace {

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += char(code);
  } else if (code < 0x800) {
    out += char(0xC0 | code >> 6);
    out += char(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += char(0xE0 | code >> 12);
    out += char(0x80 | (code >> 6 & 0x3F));
    out += char(0x80 | (code & 0x3F));
  } else {
    out += char(0xF0 | code >> 18);
    out += char(0x80 | (code >> 12 & 0x3F));
    out += char(0x80 | (code >> 6 & 0x3F));
    out += char(0x80 | (code & 0x3F));
  }
}

// Names follow one another, each ended by a 16-bit NUL.
void ReadNames(TCursor& in, std::vector<TSevenZipFile>& files) {
  if (in.Byte() != 0) Damaged("names stored elsewhere are not supported");
  for (TSevenZipFile& file : files) {
    TCursor probe = in;
    size_t units = 0;
    for (std::span<const uint8_t> unit; (unit = probe.Bytes(2))[0] != 0 || unit[1] != 0;) ++units;
    file.Name = Utf16LeToUtf8(in.Bytes(units * 2));
    in.Bytes(2);
  }
}

// The files' flags, which count only the items without a stream.
struct TEmptyItems {
  std::vector<bool> EmptyStream, EmptyFile, Anti;
};

void ApplyEmptyItems(const TEmptyItems& empty, std::vector<TSevenZipFile>& files) {
  size_t emptyIndex = 0;
  for (size_t i = 0; i < files.size() && i < empty.EmptyStream.size(); ++i) {
    if (!empty.EmptyStream[i]) continue;
    TSevenZipFile& file = files[i];
    file.HasStream = false;
    file.IsEmptyFile = emptyIndex < empty.EmptyFile.size() && empty.EmptyFile[emptyIndex];
    file.IsAnti = emptyIndex < empty.Anti.size() && empty.Anti[emptyIndex];
    ++emptyIndex;
  }
}

void ReadAttributes(TCursor& in, std::vector<TSevenZipFile>& files) {
  const std::vector<bool> defined = in.DefinedBits(files.size());
  if (in.Byte() != 0) Damaged("attributes stored elsewhere are not supported");
  for (size_t i = 0; i < files.size(); ++i) {
    if (defined[i]) files[i].Attributes = in.U32();
  }
}

// Each property carries its size; one not needed is stepped over whole.
std::vector<TSevenZipFile> ReadFilesInfo(TCursor& in) {
  std::vector<TSevenZipFile> files(in.Count());
  TEmptyItems empty;
  size_t numEmpty = 0;
  for (uint8_t id; (id = in.Byte()) != kEnd;) {
    TCursor property = in.Sub(in.Number());
    switch (id) {
      case kEmptyStream:
        empty.EmptyStream = property.Bits(files.size());
        numEmpty = std::count(empty.EmptyStream.begin(), empty.EmptyStream.end(), true);
        break;
      case kEmptyFile: empty.EmptyFile = property.Bits(numEmpty); break;
      case kAnti: empty.Anti = property.Bits(numEmpty); break;
      case kName: ReadNames(property, files); break;
      case kWinAttributes: ReadAttributes(property, files); break;
      default: break;
    }
  }
  ApplyEmptyItems(empty, files);
  return files;
}

void SkipArchiveProperties(TCursor& in) {
  while (in.Byte() != kEnd) in.SkipData();
}

TSevenZipHeader ReadHeader(TCursor& in) {
  TSevenZipHeader header;
  uint8_t id = in.Byte();
  if (id == kArchiveProperties) {
    SkipArchiveProperties(in);
    id = in.Byte();
  }
  if (id == kAdditionalStreamsInfo) {
    ReadStreamsInfo(in);  // only external data uses them; it is refused where it occurs
    id = in.Byte();
  }
  if (id == kMainStreamsInfo) {
    header.MainStreams = ReadStreamsInfo(in);
    id = in.Byte();
  }
  if (id == kFilesInfo) {
    header.Files = ReadFilesInfo(in);
    id = in.Byte();
  }
  if (id != kEnd) Damaged("the header does not end");
  const auto withStream = std::count_if(header.Files.begin(), header.Files.end(),
                                        [](const TSevenZipFile& f) { return f.HasStream; });
  if (size_t(withStream) != header.MainStreams.SubStreamSizes.size()) Damaged("files and streams disagree");
  return header;
}

}  // namespace

bool TSevenZipFile::IsDirectory() const {
  return (!HasStream && !IsEmptyFile) || (Attributes && (*Attributes & kDirectoryAttribute));
}

TSevenZipNextHeader ParseSevenZipHeader(std::span<const uint8_t> bytes, bool allowEncoded) {
  TCursor in(bytes);
  TSevenZipNextHeader next;
  const uint8_t id = in.Byte();
  if (id == kEncodedHeader && allowEncoded) {
    next.Encoded = true;
    next.EncodedStreams = ReadStreamsInfo(in);
  } else if (id == kHeader) {
    next.Header = ReadHeader(in);
  } else {
    Damaged(id == kEncodedHeader ? "an unpacked header is packed again" : "no header");
  }
  return next;
}

std::string Utf16LeToUtf8(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t code = bytes[i] | bytes[i + 1] << 8;
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
      const uint32_t low = bytes[i + 2] | bytes[i + 3] << 8;
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
    AppendUtf8(out, code);
  }
  return out;
}

}  // namespace vexmoor
