// The dat encoder's run: plain-text dats into ".qdat" containers beside them,
// an optional time stamp written into each source first, and the update
// keys file beside the first source. The encoder window orders its rows by
// name and calls EncodeDats with them; the command line keeps its order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/EncodeTime.h"
#include "encoder/UpdateKeys.h"

namespace vexmoor {

// A row's status in the encoder window.
inline constexpr std::string_view kStatusLoaded = "Loaded";
inline constexpr std::string_view kStatusEncoded = "Encoded";

struct TEncodeOptions {
  // "Update Time Stamps": write T into each source's INFO/TIMESTAMP first.
  bool UpdateTimeStamps = true;
  // "Create Update Keys File": write update_keys.txt after the last dat.
  bool CreateUpdateKeysFile = true;
  // Where T comes from; empty means the system clock.
  TClockSource Clock;
};

// Told after each source is encoded: its position in the list and its new
// status (kStatusEncoded).
using TEncodeStatusHandler = std::function<void(size_t row, std::string_view status)>;

struct TEncodeResult {
  // The run's time: in every container and, when updated, every source.
  double EncodeTime = 0;
  // The container written for each source, in list order.
  std::vector<std::string> Outputs;
  // One line per dat, then the program's line (empty when nothing was encoded).
  std::vector<TUpdateKey> Keys;
  // Where the keys file went; empty when none was written.
  std::string KeysFile;
};

// Why a file is not encoded: it is not dat text.
inline constexpr std::string_view kNotTextReason = "not a dat: binary data (NUL bytes)";
inline constexpr std::string_view kNoSectionReason = "not a dat: no [INFO] or [DAT] section";
inline constexpr std::string_view kTooLargeReason = "not a dat: larger than 256 MiB";
// A file's head that NotDatFileReason reads first, and the largest file it
// reads whole.
inline constexpr size_t kDatTextProbeSize = 64 * 1024;
inline constexpr uint64_t kMaxDatTextSize = uint64_t{256} << 20;

// Why `text` is not dat text, or "" when it is: dat text holds no NUL byte
// and has an "[INFO]" or "[DAT]" line (trimmed, any letter case).
std::string NotDatTextReason(std::string_view text);
// The same for the file at `path`, reading only its head when that already
// holds a NUL byte (a dump), and nothing more of a file larger than
// kMaxDatTextSize; a file that cannot be read gives the system's reason.
std::string NotDatFileReason(const std::string& path);

// The container path of a source: its file name's extension replaced with
// ".qdat" (added when it has none); dots in folder names are left alone.
std::string EncodedDatPath(const std::string& source);

// The window's name for a dropped file: NAME of its INFO section, or the file
// name without folder when the key is absent or the file cannot be read.
std::string EncoderRowName(const std::string& path);

// Encodes `sources` in order. T is read once, before the first file. For each
// source: the time stamp is written when asked (the source is replaced
// atomically), the text is read back with every line ended by CR LF, packed,
// enciphered and written to EncodedDatPath atomically, and `onStatus` is told.
// Then, when asked and at least one source was given, the keys file is
// written atomically into the first source's folder.
//
// A failure stops the run at that source and propagates its error (Error,
// IoError, FileOpenError, FormatError): sources before it stay encoded, no
// keys file is written, and no container of the failing source's name is
// created or changed. Each source is read, stamped, checked and packed in
// memory first, and its container and stamped text replace their files
// together: a failure to write either leaves both as they were. Throws
// FormatError, touching nothing, for a source that is not dat text
// (NotDatTextReason) or is already a container,
// whose container path would be the source itself, or (with the keys file
// on) whose NAME or VERSION holds a '|'.
TEncodeResult EncodeDats(const std::vector<std::string>& sources, const TEncodeOptions& options,
                         const TEncodeStatusHandler& onStatus = {});

}  // namespace vexmoor
