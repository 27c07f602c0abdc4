// The XML dats: Logiqx (root <datafile>) and OfflineList (root <dat>), read
// through expat as one stream of elements. No DTD or other outside entity is
// ever fetched; the predefined and character entities, entities declared in
// the document's own DOCTYPE, CDATA sections and attributes in any order all
// work. docs/formats/logiqx-dat.md and docs/formats/offlinelist-dat.md
// describe what is read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "catalogue/GameDat.h"

namespace vexmoor {

// One XML dat format's reading of the element stream. Depth 0 is the root.
// A reader may throw FormatError; the parse then stops and reports the
// message with the line it had reached.
class TXmlDatReader {
 public:
  virtual ~TXmlDatReader() = default;
  // `attributes` alternates names and values and ends with a null.
  virtual void Start(std::string_view element, const char* const* attributes, size_t depth) = 0;
  // `text` is the character data since the element's last child (or its
  // start), entities resolved.
  virtual void End(std::string_view element, std::string_view text, size_t depth) = 0;

  TGameDat Dat;
};

// The value of attribute `name`, or "" when the element has none.
std::string_view XmlAttribute(const char* const* attributes, std::string_view name);

// Parses an XML dat text (any encoding expat knows: UTF-8, UTF-16,
// ISO-8859-1, US-ASCII, and Windows-1252). The root element picks the
// reader. Throws FormatError "The XML dat is malformed at line N: WHY" for a
// document that is not well-formed, is cut short, has another root or holds
// a bad CRC; nothing partial is returned.
TGameDat ParseXmlDat(std::string_view text);

}  // namespace vexmoor
