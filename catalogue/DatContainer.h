// The ".qdat" dat container: "QDAT", a clear 8-byte time stamp, then the dat
// text packed into an "AP32" block and enciphered with RC4 under kDatKey.
// docs/formats/qdat.md has the layout.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vexmoor {

inline constexpr std::string_view kContainerMagic = "QDAT";
// Magic and time stamp; the enciphered block starts here.
inline constexpr size_t kContainerHeaderSize = 12;

// The text a native dat file holds: the deciphered, unpacked text of a
// container, or the file's own bytes when it does not start with the magic.
// Returns nullopt when the deciphered block is not an "AP32" block (another
// key, a damaged or foreign file): the load then stops without a message.
// Throws FileOpenError or IoError when the file cannot be read, and the
// codec's Error ("Decompression error", "Out of memory") when the block is
// sound but does not unpack.
std::optional<std::string> ReadQuenDatText(const std::string& path);

// Deciphers `block` (the bytes after the container's header) and unpacks it;
// nullopt and no error when it does not decipher to an "AP32" block. Throws
// as ReadQuenDatText does.
std::optional<std::string> OpenContainerBlock(std::string block);

// The bytes of a container holding `text` exactly as given (callers that
// store a dat file's lines pass WithCrLfLineEnds of them), stamped with
// `timeStamp` (days since 30 December 1899, UTC). Throws Error "Compression
// error" for an empty text, which cannot be packed.
std::string MakeDatContainer(std::string_view text, double timeStamp);

// Writes MakeDatContainer(text, timeStamp) to `path`, replacing any file
// there atomically; nothing is written when packing fails. Throws Error or
// IoError.
void WriteDatContainer(const std::string& path, std::string_view text, double timeStamp);

// The clear time stamp of an installed dat: the double at offset 4 of a
// container. 0 when no file exists at `path`, when it does not start with
// the magic, when it is too short to hold a time stamp, or when the stamp is
// not a finite number. Throws FileOpenError for a file that exists but
// cannot be opened.
double ReadDatTimeStamp(const std::string& path);

}  // namespace vexmoor
