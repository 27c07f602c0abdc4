#include "catalogue/ClrMameProDat.h"

#include <string>

#include "catalogue/DatText.h"
#include "catalogue/TextLines.h"
#include "platform/Errors.h"

namespace vexmoor {

namespace {

enum class TTokenKind { End, Open, Close, Word };

struct TToken {
  TTokenKind Kind = TTokenKind::End;
  std::string_view Text;  // a word, or a quoted text without its quotes
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

class TTokenizer {
 public:
  explicit TTokenizer(std::string_view text) : text_(text) {}

  TToken Next() {
    SkipBlanks();
    if (at_ == text_.size()) return {};
    const char c = text_[at_];
    if (c == '(' || c == ')') {
      ++at_;
      return {c == '(' ? TTokenKind::Open : TTokenKind::Close, {}};
    }
    return {TTokenKind::Word, c == '"' ? Quoted() : Word()};
  }

  [[noreturn]] void Fail(const std::string& why) const {
    throw FormatError("The clrmamepro dat is malformed at line " + std::to_string(line_) + ": " +
                      why);
  }

 private:
  void SkipBlanks() {
    for (; at_ < text_.size() && IsBlank(text_[at_]); ++at_) {
      if (text_[at_] == '\n' || (text_[at_] == '\r' && !NextIs(at_ + 1, '\n'))) ++line_;
    }
  }

  bool NextIs(size_t at, char c) const { return at < text_.size() && text_[at] == c; }

  std::string_view Word() {
    const size_t start = at_;
    while (at_ < text_.size() && !IsBlank(text_[at_]) && text_[at_] != '(' && text_[at_] != ')') {
      ++at_;
    }
    return text_.substr(start, at_ - start);
  }

  // The closing quote is the first one on the line that a blank, ')' or the
  // line's end follows and after which the line holds an even number of
  // quotes: the quotes left then pair up as further quoted texts.
  std::string_view Quoted() {
    const size_t start = ++at_;
    size_t end = start;
    size_t quotes = 0;
    for (; end < text_.size() && text_[end] != '\r' && text_[end] != '\n'; ++end) {
      quotes += text_[end] == '"';
    }
    for (; at_ < end; ++at_) {
      if (text_[at_] != '"') continue;
      --quotes;  // now the quotes after this one
      const bool closes = at_ + 1 == end || IsBlank(text_[at_ + 1]) || text_[at_ + 1] == ')';
      if (closes && quotes % 2 == 0) return text_.substr(start, at_++ - start);
    }
    Fail("a quoted text has no closing quote");
  }

  std::string_view text_;
  size_t at_ = 0;
  size_t line_ = 1;
};

class TClrMameProParser {
 public:
  explicit TClrMameProParser(std::string_view text) : tokens_(WithoutByteOrderMark(text)) {
    dat_.Format = TDatFormat::ClrMamePro;
  }

  TGameDat Parse() {
    for (TToken token = tokens_.Next(); token.Kind != TTokenKind::End; token = tokens_.Next()) {
      if (token.Kind != TTokenKind::Word) tokens_.Fail("a block name was expected");
      if (tokens_.Next().Kind != TTokenKind::Open) {
        tokens_.Fail("'" + std::string(token.Text) + "' is not followed by '('");
      }
      if (token.Text == "clrmamepro") {
        ReadBlock([this](std::string_view key, std::string_view value) { HeaderValue(key, value); });
      } else if (token.Text == "game") {
        ReadGame();
      } else {
        SkipBlock();
      }
    }
    return std::move(dat_);
  }

 private:
  // Reads "key value" pairs up to the block's ')', handing each to `onValue`
  // and each nested block's name to `onBlock`, which reads the block or
  // returns false to have it skipped.
  template <typename OnValue, typename OnBlock>
  void ReadBlock(OnValue onValue, OnBlock onBlock) {
    for (;;) {
      const TToken key = tokens_.Next();
      if (key.Kind == TTokenKind::Close) return;
      if (key.Kind == TTokenKind::End) tokens_.Fail("a block is not closed");
      if (key.Kind != TTokenKind::Word) tokens_.Fail("a key was expected");
      const TToken value = tokens_.Next();
      if (value.Kind == TTokenKind::Open) {
        if (!onBlock(key.Text)) SkipBlock();
      } else if (value.Kind == TTokenKind::Word) {
        onValue(key.Text, value.Text);
      } else if (value.Kind == TTokenKind::Close) {
        onValue(key.Text, {});  // a key without a value ends the block
        return;
      } else {
        tokens_.Fail("a block is not closed");
      }
    }
  }

  template <typename OnValue>
  void ReadBlock(OnValue onValue) {
    ReadBlock(onValue, [](std::string_view) { return false; });
  }

  // Skips to the ')' that closes a block whose '(' was just read, nested
  // blocks and all.
  void SkipBlock() {
    for (size_t open = 1; open > 0;) {
      const TToken token = tokens_.Next();
      if (token.Kind == TTokenKind::End) tokens_.Fail("a block is not closed");
      if (token.Kind == TTokenKind::Open) ++open;
      if (token.Kind == TTokenKind::Close) --open;
    }
  }

  void HeaderValue(std::string_view key, std::string_view value) {
    if (key == "name") dat_.Name = value;
    if (key == "description") dat_.System = value;
    if (key == "version") dat_.Version = value;
  }

  void ReadGame() {
    const size_t first = dat_.Entries.Count();
    std::string name;
    ReadBlock([&](std::string_view key, std::string_view value) { if (key == "name") name = value; },
              [&](std::string_view block) {
                if (block != "rom") return false;
                ReadRom();
                return true;
              });
    const std::string index = ReleaseIndexText({}, ++games_);
    const std::string country = CountryFromName(name);
    for (size_t at = first; at < dat_.Entries.Count(); ++at) {
      TRomItem& entry = dat_.Entries[at];
      entry.Index = index;
      entry.Name = name;
      entry.Country = country;
    }
  }

  void ReadRom() {
    std::string_view romName, crc, size, sha1, md5, sha256;
    bool nodump = false;
    ReadBlock([&](std::string_view key, std::string_view value) {
      if (key == "name") romName = value;
      if (key == "crc") crc = value;
      if (key == "size") size = value;
      if (key == "sha1") sha1 = value;
      if (key == "md5") md5 = value;
      if (key == "sha256") sha256 = value;
      if ((key == "flags" || key == "status") && value == "nodump") nodump = true;
    });
    if (crc.empty() || nodump) return;
    uint32_t value = 0;
    try {
      value = ParseCrc32(crc);
    } catch (const FormatError& error) {
      tokens_.Fail(error.what());
    }
    TRomItem& entry = dat_.Entries.Append();
    entry.Crc = value;
    entry.Size = ParseRomSize(size);
    entry.RomName = romName;
    entry.Sha1 = HexDigest(sha1, 40);
    entry.Md5 = HexDigest(md5, 32);
    entry.Sha256 = HexDigest(sha256, 64);
    dat_.NoteRomName(romName);
  }

  TTokenizer tokens_;
  TGameDat dat_;
  size_t games_ = 0;
};

}  // namespace

TGameDat ParseClrMameProDat(std::string_view text) { return TClrMameProParser(text).Parse(); }

}  // namespace vexmoor
