// The dat formats Vexmoor reads, and how the first bytes of a file tell the
// game-based ones (Logiqx XML, clrmamepro text, OfflineList XML) and zips
// apart from the two native grammars. docs/formats/*.md describe each.
#pragma once

#include <string_view>

namespace vexmoor {

enum class TDatFormat { None, Native, RomCenter, Logiqx, ClrMamePro, OfflineList };

// What the start of a file says it holds. Xml covers Logiqx and OfflineList:
// the root element tells them apart once the parse reaches it.
enum class TDatContent { Unknown, Xml, ClrMamePro, Zip };

// Reads the first bytes of a file (kDatHeadSize are enough): after an
// optional UTF-8 byte order mark and blanks, "<?xml" or "<datafile" is Xml
// and "clrmamepro" followed (after blanks) by "(" is ClrMamePro; a zip's
// local header or empty-archive signature at offset 0 is Zip. Anything else,
// every native and Rom Center text among it, is Unknown.
TDatContent RecognizeDatContent(std::string_view head);
inline constexpr size_t kDatHeadSize = 256;

// "native", "Rom Center", "Logiqx XML", "clrmamepro", "OfflineList XML",
// or "none".
const char* DatFormatName(TDatFormat format);

}  // namespace vexmoor
