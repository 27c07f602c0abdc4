// One release of the loaded dat, and the catalogue that holds them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/EntryText.h"

namespace vexmoor {

// Entry statuses. The numbers are stored as they stand: a bad dump is 10.
constexpr int32_t StatusMissing = -1;
constexpr int32_t StatusFound = 0;
constexpr int32_t StatusCached = 1;
constexpr int32_t StatusBad = 10;

// The texts are TEntryTexts, read as strings: a word each where a
// std::string takes four, since a catalogue holds every release of the dat.
// The members are ordered so that no padding lies between them.
struct TRomItem {
  // Every member starts at the value given below. A constructor of its own
  // (not "= default") spares the zeroing of the whole entry that
  // value-initialisation does before it, once per dat line.
  TRomItem() {}  // NOLINT(modernize-use-equals-default)

  TEntryText Index;       // release number exactly as the dat writes it
  TEntryText Name;        // release name exactly as the dat writes it
  TEntryText Country;     // only the first character carries meaning
  uint32_t Crc = 0;       // CRC-32 of the dump image
  int32_t Status = 0;     // one of the Status* values
  TEntryText StatusText;  // "Cached", the matching file's location, or empty
  // The archive member's stored name when the file at StatusText lies in an
  // archive (StatusText is then the archive's path, '\' and this name);
  // empty for a loose dump. Set by the scan with each marking.
  TEntryText Member;
  // Found through a trimmed dump: the file at StatusText is the image with
  // its 0xFF padding cut off. Set by the scan with each marking.
  bool Trimmed = false;
  // How the dump that found the entry was proven: 0 by its CRC-32 (and size)
  // alone, else the strong checksum (a TDigestKind, catalogue/DigestKind.h)
  // that matched the dat's. Set by the scan with each marking.
  uint8_t VerifiedBy = 0;
  uint32_t RowColor = 0;  // background colour, recomputed on every draw
  // The dump's size in bytes where the dat gives one (Logiqx, clrmamepro and
  // OfflineList dats); native and Rom Center dats leave it empty.
  std::optional<uint64_t> Size;
  // The rom's own file name where the dat gives one (Logiqx and clrmamepro
  // rom names, Rom Center's rom column, OfflineList's title and extension),
  // and its SHA-1 (40), MD5 (32) and SHA-256 (64 hexadecimal digits, either
  // case) where given; native dats leave all of them empty.
  TEntryText RomName;
  TEntryText Sha1;
  TEntryText Md5;
  TEntryText Sha256;
};

// The releases in dat order. It grows one entry per accepted dat line and is
// only ever emptied whole; sorting the list never reorders it. References to
// entries stay valid until the next Append or Clear.
//
// A loader may keep its entries' long texts in the catalogue's text pool
// (SetPooledText) instead of a heap block each. Lifetime rule: a pooled
// text lives as long as the catalogue's current entries do. The pool moves
// with the entries (move, ReplaceWith) and is dropped with them (Clear,
// ReplaceWith's old entries, the catalogue's end); a copy of the catalogue,
// of an entry or of a text, and a text or entry moved out of the catalogue,
// own their bytes, so they may outlive it.
class TCatalogue {
 public:
  TCatalogue() = default;
  TCatalogue(TCatalogue&&) noexcept = default;
  // The copy's texts are its own heap blocks; it shares no pool.
  TCatalogue(const TCatalogue& other) : items_(other.items_), generation_(other.generation_) {}
  TCatalogue& operator=(TCatalogue&& other) noexcept {
    if (this != &other) {
      items_ = std::move(other.items_);  // the old entries go before their pool
      other.items_.clear();
      pool_ = std::move(other.pool_);
      generation_ = other.generation_;
    }
    return *this;
  }
  TCatalogue& operator=(const TCatalogue& other) {
    if (this != &other) *this = TCatalogue(other);
    return *this;
  }

  // Removes every entry; Generation() then counts one more.
  void Clear() {
    items_.clear();
    pool_.Clear();
    ++generation_;
  }
  // How many times the entries were cleared: a list built at another
  // generation may hold rows whose entries are gone.
  uint64_t Generation() const { return generation_; }
  // Replaces every entry with those of `entries` (which is left empty), as
  // Clear and Appends would; Generation() counts one more.
  void ReplaceWith(TCatalogue&& entries) {
    items_ = std::move(entries.items_);
    entries.items_.clear();
    pool_ = std::move(entries.pool_);
    ++generation_;
  }
  // Adds an entry with every string empty and every number 0.
  TRomItem& Append() { return items_.emplace_back(); }
  // Sets `text`, a text of one of this catalogue's entries, keeping its
  // bytes in the catalogue's pool (see the lifetime rule above).
  void SetPooledText(TEntryText& text, std::string_view value) { text.AssignPooled(value, pool_); }
  size_t Count() const { return items_.size(); }
  // Makes room for `count` entries without changing Count: entry references
  // then stay valid while that many are appended.
  void Reserve(size_t count) { items_.reserve(count); }
  TRomItem& operator[](size_t position) { return items_[position]; }
  const TRomItem& operator[](size_t position) const { return items_[position]; }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  // Declared before the entries, so that they are destroyed before it.
  TTextPool pool_;
  std::vector<TRomItem> items_;
  uint64_t generation_ = 0;
};

// Index of the flag image that the first character of `country` selects, or
// -1 for none. Upper-case letters only: "u" shows no flag.
int FlagIndex(const std::string& country);

}  // namespace vexmoor
