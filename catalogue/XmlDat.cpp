#include "catalogue/XmlDat.h"

#include <expat.h>

#include <algorithm>
#include <memory>

#include "catalogue/LogiqxDat.h"
#include "catalogue/OfflineListDat.h"
#include "platform/Errors.h"

namespace vexmoor {

namespace {

// Fed in pieces: expat copies what it is given, so a whole large file at
// once would be held twice.
constexpr size_t kFeedSize = 1 << 16;

std::unique_ptr<TXmlDatReader> ReaderForRoot(std::string_view root) {
  if (root == "datafile") return std::make_unique<TLogiqxReader>();
  if (root == "dat") return std::make_unique<TOfflineListReader>();
  throw FormatError("the root element is <" + std::string(root) +
                    ">; a Logiqx dat has <datafile>, an OfflineList dat <dat>");
}

// Windows-1252, which expat does not know by itself: the bytes 80-9F map to
// their code points, the five undefined ones to the control characters of
// the same number, as the desktop's conversion does.
constexpr int kCp1252High[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178,
};

int XMLCALL UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  const std::string_view encoding(name);
  if (encoding.size() != 12 || !std::equal(encoding.begin(), encoding.end(), "windows-1252",
                                           [](char a, char b) { return (a | 0x20) == b; })) {
    return XML_STATUS_ERROR;
  }
  for (int byte = 0; byte < 256; ++byte) {
    info->map[byte] = byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
  }
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

class TXmlDatParser {
 public:
  TXmlDatParser() : parser_(XML_ParserCreate(nullptr)) {
    if (parser_ == nullptr) throw Error("Out of memory");
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser_, OnText);
    XML_SetUnknownEncodingHandler(parser_, UnknownEncoding, nullptr);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
  }
  ~TXmlDatParser() { XML_ParserFree(parser_); }
  TXmlDatParser(const TXmlDatParser&) = delete;
  TXmlDatParser& operator=(const TXmlDatParser&) = delete;

  TGameDat Parse(std::string_view text) {
    do {
      const size_t piece = std::min(text.size(), kFeedSize);
      const bool last = piece == text.size();
      if (XML_Parse(parser_, text.data(), static_cast<int>(piece), last) != XML_STATUS_OK) Fail();
      text.remove_prefix(piece);
    } while (!text.empty());
    return std::move(reader_->Dat);
  }

 private:
  [[noreturn]] void Fail() {
    const unsigned long line = failure_.empty() ? XML_GetCurrentLineNumber(parser_) : failureLine_;
    const std::string why = failure_.empty() ? XML_ErrorString(XML_GetErrorCode(parser_)) : failure_;
    throw FormatError("The XML dat is malformed at line " + std::to_string(line) + ": " + why);
  }

  // A reader's exception must not cross expat's C frames: it is kept, and
  // the parse is stopped.
  template <typename Step>
  void Guarded(Step step) {
    try {
      step();
    } catch (const std::exception& error) {
      failure_ = error.what();
      failureLine_ = XML_GetCurrentLineNumber(parser_);
      XML_StopParser(parser_, XML_FALSE);
    }
  }

  static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& self = *static_cast<TXmlDatParser*>(data);
    if (!self.failure_.empty()) return;
    self.Guarded([&] {
      if (!self.reader_) self.reader_ = ReaderForRoot(name);
      self.text_.clear();
      self.reader_->Start(name, attributes, self.depth_++);
    });
  }

  // After a stop expat may still report the end of an empty element.
  bool Stopped() const { return !failure_.empty() || !reader_; }

  static void XMLCALL OnEnd(void* data, const XML_Char* name) {
    auto& self = *static_cast<TXmlDatParser*>(data);
    if (self.Stopped()) return;
    self.Guarded([&] { self.reader_->End(name, self.text_, --self.depth_); });
    self.text_.clear();
  }

  static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    auto& self = *static_cast<TXmlDatParser*>(data);
    self.text_.append(text, static_cast<size_t>(length));
  }

  XML_Parser parser_;
  std::unique_ptr<TXmlDatReader> reader_;
  std::string text_;
  size_t depth_ = 0;
  std::string failure_;
  unsigned long failureLine_ = 0;
};

}  // namespace

std::string_view XmlAttribute(const char* const* attributes, std::string_view name) {
  for (; attributes[0] != nullptr; attributes += 2) {
    if (name == attributes[0]) return attributes[1];
  }
  return {};
}

TGameDat ParseXmlDat(std::string_view text) {
  TXmlDatParser parser;
  return parser.Parse(text);
}

}  // namespace vexmoor
