#include "catalogue/DatFormat.h"

#include "catalogue/TextLines.h"

namespace vexmoor {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

TDatContent RecognizeDatContent(std::string_view head) {
  if (StartsWith(head, "PK\x03\x04") || StartsWith(head, "PK\x05\x06")) return TDatContent::Zip;
  const std::string_view text = SkipBlanks(WithoutByteOrderMark(head));
  if (StartsWith(text, "<?xml") || StartsWith(text, "<datafile")) return TDatContent::Xml;
  constexpr std::string_view kClrMamePro = "clrmamepro";
  if (StartsWith(text, kClrMamePro) && StartsWith(SkipBlanks(text.substr(kClrMamePro.size())), "(")) {
    return TDatContent::ClrMamePro;
  }
  return TDatContent::Unknown;
}

const char* DatFormatName(TDatFormat format) {
  switch (format) {
    case TDatFormat::Native:
      return "native";
    case TDatFormat::RomCenter:
      return "Rom Center";
    case TDatFormat::Logiqx:
      return "Logiqx XML";
    case TDatFormat::ClrMamePro:
      return "clrmamepro";
    case TDatFormat::OfflineList:
      return "OfflineList XML";
    case TDatFormat::None:
      break;
  }
  return "none";
}

}  // namespace vexmoor
