// The streams part of a 7z header: pack info, folders of coders with their
// unpack sizes, and the sub-streams (members) each folder unpacks to.
#include <numeric>

#include "scan/archive/SevenZipCursor.h"
#include "scan/archive/SevenZipFormat.h"

namespace vexmoor::sevenzip {

namespace {

uint64_t CheckedAdd(uint64_t a, uint64_t b) {
  if (b > UINT64_MAX - a) Damaged("a size overflows");
  return a + b;
}

TSevenZipCoder ReadCoder(TCursor& in) {
  const uint8_t flags = in.Byte();
  if (flags & 0xC0) Damaged("a coder has reserved flags");
  TSevenZipCoder coder;
  for (const uint8_t byte : in.Bytes(flags & 0x0F)) coder.MethodId = coder.MethodId << 8 | byte;
  if (flags & 0x10) {
    coder.NumInStreams = in.Number();
    coder.NumOutStreams = in.Number();
    if (coder.NumInStreams > kMaxCoderStreams || coder.NumOutStreams > kMaxCoderStreams) {
      Damaged("a coder has too many streams");
    }
  }
  if (flags & 0x20) {
    const std::span<const uint8_t> properties = in.Bytes(in.Number());
    coder.Properties.assign(properties.begin(), properties.end());
  }
  return coder;
}

// The output stream no bind pair consumes; its size is the folder's size.
uint64_t MainOutStream(const TSevenZipFolder& folder, uint64_t totalOut) {
  for (uint64_t out = 0; out < totalOut; ++out) {
    bool bound = false;
    for (const TSevenZipBindPair& pair : folder.BindPairs) bound = bound || pair.OutIndex == out;
    if (!bound) return out;
  }
  Damaged("a folder has no output");
}

// Reads one folder; returns its number of output streams.
uint64_t ReadFolder(TCursor& in, TSevenZipFolder& folder) {
  const uint64_t numCoders = in.Number();
  if (numCoders == 0 || numCoders > kMaxCoders) Damaged("a folder has a bad coder count");
  uint64_t totalIn = 0, totalOut = 0;
  for (uint64_t i = 0; i < numCoders; ++i) {
    folder.Coders.push_back(ReadCoder(in));
    totalIn += folder.Coders.back().NumInStreams;
    totalOut += folder.Coders.back().NumOutStreams;
  }
  if (totalOut == 0 || totalIn > kMaxCoderStreams || totalOut > kMaxCoderStreams || totalIn < totalOut - 1) {
    Damaged("a folder's streams do not fit together");
  }
  for (uint64_t i = 0; i + 1 < totalOut; ++i) {
    const TSevenZipBindPair pair{in.Number(), in.Number()};
    if (pair.InIndex >= totalIn || pair.OutIndex >= totalOut) Damaged("a bind pair is out of range");
    folder.BindPairs.push_back(pair);
  }
  folder.NumPackedStreams = totalIn - (totalOut - 1);
  if (folder.NumPackedStreams > 1) {
    for (uint64_t i = 0; i < folder.NumPackedStreams; ++i) {
      if (in.Number() >= totalIn) Damaged("a packed stream index is out of range");
    }
  }
  return totalOut;
}

void ReadPackInfo(TCursor& in, TSevenZipStreams& streams) {
  streams.PackPos = in.Number();
  const uint64_t count = in.Count();
  bool sized = false;
  for (uint8_t id; (id = in.Byte()) != kEnd;) {
    if (id == kSize) {
      streams.PackSizes.clear();
      for (uint64_t i = 0; i < count; ++i) streams.PackSizes.push_back(in.Number());
      sized = true;
    } else if (id == kCRC) {
      in.Digests(count);
    } else {
      in.SkipData();
    }
  }
  if (!sized) Damaged("packed streams have no sizes");
}

void ReadUnpackInfo(TCursor& in, TSevenZipStreams& streams) {
  in.Expect(kFolder, "folders expected");
  streams.Folders.resize(in.Count());
  if (in.Byte() != 0) Damaged("folders stored elsewhere are not supported");
  std::vector<uint64_t> outStreams;
  for (TSevenZipFolder& folder : streams.Folders) outStreams.push_back(ReadFolder(in, folder));
  in.Expect(kCodersUnPackSize, "unpack sizes expected");
  for (size_t f = 0; f < streams.Folders.size(); ++f) {
    TSevenZipFolder& folder = streams.Folders[f];
    for (uint64_t i = 0; i < outStreams[f]; ++i) folder.UnpackSizes.push_back(in.Number());
    folder.UnpackSize = folder.UnpackSizes[MainOutStream(folder, outStreams[f])];
  }
  for (uint8_t id; (id = in.Byte()) != kEnd;) {
    if (id != kCRC) {
      in.SkipData();
      continue;
    }
    const auto digests = in.Digests(streams.Folders.size());
    for (size_t f = 0; f < digests.size(); ++f) streams.Folders[f].Crc = digests[f];
  }
}

// Folder f's stream list starts at its sum of earlier sub-streams; a folder
// of one stream whose CRC the folder stores needs no digest of its own.
bool NeedsDigest(const TSevenZipFolder& folder) { return !(folder.NumSubStreams == 1 && folder.Crc); }

void ReadSubStreamSizes(TCursor& in, TSevenZipStreams& streams, bool sized) {
  for (const TSevenZipFolder& folder : streams.Folders) {
    if (folder.NumSubStreams == 0) continue;
    if (folder.NumSubStreams > 1 && !sized) Damaged("sub-streams have no sizes");
    uint64_t sum = 0;
    for (uint64_t j = 1; j < folder.NumSubStreams; ++j) {
      streams.SubStreamSizes.push_back(in.Number());
      sum = CheckedAdd(sum, streams.SubStreamSizes.back());
    }
    if (sum > folder.UnpackSize) Damaged("sub-streams exceed their folder");
    streams.SubStreamSizes.push_back(folder.UnpackSize - sum);
  }
}

void ReadSubStreamDigests(TCursor& in, TSevenZipStreams& streams) {
  uint64_t unknown = 0;
  for (const TSevenZipFolder& folder : streams.Folders) unknown += NeedsDigest(folder) ? folder.NumSubStreams : 0;
  const auto digests = in.Digests(unknown);
  size_t next = 0;
  size_t stream = 0;
  for (const TSevenZipFolder& folder : streams.Folders) {
    for (uint64_t j = 0; j < folder.NumSubStreams; ++j, ++stream) {
      if (NeedsDigest(folder)) streams.SubStreamCrcs[stream] = digests[next++];
    }
  }
}

void ReadSubStreamsInfo(TCursor& in, TSevenZipStreams& streams) {
  uint8_t id = in.Byte();
  if (id == kNumUnPackStream) {
    uint64_t total = 0;
    for (TSevenZipFolder& folder : streams.Folders) {
      folder.NumSubStreams = in.Number();
      total = CheckedAdd(total, folder.NumSubStreams);
      // Every sub-stream past a folder's first needs a stored size.
      if (total > streams.Folders.size() + in.Remaining()) Damaged("too many sub-streams");
    }
    id = in.Byte();
  }
  ReadSubStreamSizes(in, streams, id == kSize);
  if (id == kSize) id = in.Byte();
  for (const TSevenZipFolder& folder : streams.Folders) {
    for (uint64_t j = 0; j < folder.NumSubStreams; ++j) {
      streams.SubStreamCrcs.push_back(NeedsDigest(folder) ? std::nullopt : folder.Crc);
    }
  }
  for (; id != kEnd; id = in.Byte()) {
    if (id == kCRC) {
      ReadSubStreamDigests(in, streams);
    } else {
      in.SkipData();
    }
  }
}

// Without sub-stream info every folder holds one stream.
void OneStreamPerFolder(TSevenZipStreams& streams) {
  for (const TSevenZipFolder& folder : streams.Folders) {
    streams.SubStreamSizes.push_back(folder.UnpackSize);
    streams.SubStreamCrcs.push_back(folder.Crc);
  }
}

}  // namespace

TSevenZipStreams ReadStreamsInfo(TCursor& in) {
  TSevenZipStreams streams;
  uint8_t id = in.Byte();
  if (id == kPackInfo) {
    ReadPackInfo(in, streams);
    id = in.Byte();
  }
  if (id == kUnPackInfo) {
    ReadUnpackInfo(in, streams);
    id = in.Byte();
  }
  if (id == kSubStreamsInfo) {
    ReadSubStreamsInfo(in, streams);
    id = in.Byte();
  } else {
    OneStreamPerFolder(streams);
  }
  if (id != kEnd) Damaged("the streams do not end");
  uint64_t packed = 0;
  for (const TSevenZipFolder& folder : streams.Folders) packed += folder.NumPackedStreams;
  if (packed != streams.PackSizes.size()) Damaged("folders and packed streams disagree");
  return streams;
}

}  // namespace vexmoor::sevenzip
