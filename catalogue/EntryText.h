// A catalogue entry's text in one machine word: up to six bytes are kept in
// the word itself, a longer text in one heap block of its own or in a block
// of its catalogue's text pool. A dat of 100,000 releases then builds
// entries a third of the size that a std::string per field gives, a release
// number or a country letter costs no allocation, and the dat loader's
// names cost none either.
#pragma once

#include <bit>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexmoor {

// Storage for many texts that are freed all at once: blocks are cut one
// after the other from large chunks and never freed one by one. A pool
// moves (its chunks keep their addresses) but is not copied.
class TTextPool {
 public:
  TTextPool() = default;
  TTextPool(TTextPool&& other) noexcept
      : chunks_(std::move(other.chunks_)),
        next_(std::exchange(other.next_, nullptr)),
        left_(std::exchange(other.left_, 0)) {}
  TTextPool& operator=(TTextPool&& other) noexcept {
    if (this != &other) {
      chunks_ = std::move(other.chunks_);
      other.chunks_.clear();
      next_ = std::exchange(other.next_, nullptr);
      left_ = std::exchange(other.left_, 0);
    }
    return *this;
  }
  TTextPool(const TTextPool&) = delete;
  TTextPool& operator=(const TTextPool&) = delete;

  // Frees every block; the texts in them must be gone or never read again.
  void Clear() {
    chunks_.clear();
    next_ = nullptr;
    left_ = 0;
  }

 private:
  friend class TEntryText;
  // `bytes` of storage aligned to 4 bytes, valid until Clear or the pool's end.
  char* Allocate(size_t bytes) {
    bytes = (bytes + 3) & ~size_t{3};
    if (bytes > left_) return AllocateInNewChunk(bytes);
    char* const block = next_;
    next_ += bytes;
    left_ -= bytes;
    return block;
  }
  char* AllocateInNewChunk(size_t bytes);

  std::vector<std::unique_ptr<char[]>> chunks_;
  char* next_ = nullptr;
  size_t left_ = 0;
};

class TEntryText {
 public:
  TEntryText() = default;
  TEntryText(std::string_view text) { Assign(text); }  // NOLINT: reads as a string
  TEntryText(const std::string& text) : TEntryText(std::string_view(text)) {}
  TEntryText(const char* text) : TEntryText(std::string_view(text)) {}
  TEntryText(const TEntryText& other) : TEntryText(other.View()) {}
  // A pooled text is copied rather than moved (the source is left empty all
  // the same): the copy owns its bytes, so an entry moved out of its
  // catalogue outlives the catalogue's pool. (Only
  // running out of memory can make that copy fail, and then the program
  // ends, as it would on any other allocation in a move.)
  TEntryText(TEntryText&& other) noexcept {
    if (IsPooled(other.word_)) {
      Assign(other.View());
      other.word_ = kEmpty;
    } else {
      word_ = std::exchange(other.word_, kEmpty);
    }
  }
  ~TEntryText() { Release(); }

  TEntryText& operator=(const TEntryText& other) {
    if (this != &other) *this = other.View();
    return *this;
  }
  TEntryText& operator=(TEntryText&& other) noexcept {
    if (this != &other) {
      if (IsPooled(other.word_)) {
        *this = other.View();
        other.word_ = kEmpty;
        return *this;
      }
      Release();
      word_ = std::exchange(other.word_, kEmpty);
    }
    return *this;
  }
  TEntryText& operator=(std::string_view text);
  TEntryText& operator=(const std::string& text) { return *this = std::string_view(text); }
  TEntryText& operator=(const char* text) { return *this = std::string_view(text); }

  // Sets the text with its bytes in `pool` when it does not fit in the word.
  // The bytes then live as long as the pool's blocks do: only the owner of
  // the pool (a catalogue, for the texts of its own entries) may do this,
  // and must clear or destroy the texts before it clears the pool. Copies
  // and moves of the text own their bytes again.
  void AssignPooled(std::string_view text, TTextPool& pool) {
    const uintptr_t word = text.size() <= kShortCapacity ? ShortWord(text) : PooledWord(text, pool);
    Release();
    word_ = word;
  }

  // The bytes, NUL-terminated; valid until the text is changed, moved from
  // or destroyed (a moved entry's short text moves with it, as a short
  // std::string's does).
  const char* data() const;
  const char* c_str() const { return data(); }
  size_t size() const;
  size_t length() const { return size(); }
  bool empty() const { return size() == 0; }
  void clear() { *this = std::string_view(); }

  std::string_view View() const { return {data(), size()}; }
  operator std::string_view() const { return View(); }          // NOLINT: reads as a string
  operator std::string() const { return std::string(View()); }  // NOLINT
  std::string str() const { return std::string(View()); }

  char operator[](size_t at) const { return data()[at]; }
  // A byte to change in place; the length stays.
  char& operator[](size_t at) { return const_cast<char*>(data())[at]; }
  char front() const { return data()[0]; }
  char back() const { return data()[size() - 1]; }
  const char* begin() const { return data(); }
  const char* end() const { return data() + size(); }
  std::string substr(size_t at, size_t count = std::string::npos) const {
    return std::string(View().substr(at, count));
  }
  size_t find(std::string_view what, size_t at = 0) const { return View().find(what, at); }
  size_t find(char what, size_t at = 0) const { return View().find(what, at); }
  size_t rfind(std::string_view what, size_t at = std::string_view::npos) const {
    return View().rfind(what, at);
  }
  size_t rfind(char what, size_t at = std::string_view::npos) const {
    return View().rfind(what, at);
  }
  int compare(std::string_view other) const { return View().compare(other); }

  friend bool operator==(const TEntryText& a, const TEntryText& b) { return a.View() == b.View(); }
  friend bool operator==(const TEntryText& a, std::string_view b) { return a.View() == b; }
  friend bool operator==(const TEntryText& a, const std::string& b) { return a.View() == b; }
  friend bool operator==(const TEntryText& a, const char* b) { return a.View() == b; }
  friend auto operator<=>(const TEntryText& a, const TEntryText& b) {
    return a.View() <=> b.View();
  }
  friend auto operator<=>(const TEntryText& a, std::string_view b) { return a.View() <=> b; }
  friend auto operator<=>(const TEntryText& a, const std::string& b) { return a.View() <=> b; }
  friend auto operator<=>(const TEntryText& a, const char* b) { return a.View() <=> b; }
  friend std::ostream& operator<<(std::ostream& out, const TEntryText& text) {
    return out << text.View();
  }

  // Joins as std::string's: found only beside a TEntryText, so they never
  // take a join of two other texts.
  friend std::string operator+(const TEntryText& a, std::string_view b) {
    return Join(a.View(), b);
  }
  friend std::string operator+(const TEntryText& a, const std::string& b) {
    return Join(a.View(), b);
  }
  friend std::string operator+(const TEntryText& a, const char* b) { return Join(a.View(), b); }
  friend std::string operator+(const TEntryText& a, char b) { return Join(a.View(), {&b, 1}); }
  friend std::string operator+(std::string_view a, const TEntryText& b) {
    return Join(a, b.View());
  }
  friend std::string operator+(const std::string& a, const TEntryText& b) {
    return Join(a, b.View());
  }
  friend std::string operator+(std::string&& a, const TEntryText& b) {
    return std::move(a.append(b.View()));
  }
  friend std::string operator+(const char* a, const TEntryText& b) { return Join(a, b.View()); }
  friend std::string operator+(char a, const TEntryText& b) { return Join({&a, 1}, b.View()); }
  friend std::string& operator+=(std::string& a, const TEntryText& b) { return a.append(b.View()); }

 private:
  // The word holds either a pointer to a block (4-byte aligned) laid out as
  // a 32-bit length, the bytes and a NUL, its low two bits 00 for a heap
  // block of this text's own and 10 for a block in a pool; or, with its low
  // bit set, the length times two plus one in its first byte, the bytes in
  // the next six and a NUL after them.
  static_assert(std::endian::native == std::endian::little, "the short form is read byte-wise");
  static_assert(alignof(std::max_align_t) >= 4, "heap blocks leave the two tag bits clear");
  static constexpr uintptr_t kEmpty = 1;
  static constexpr uintptr_t kPooledTag = 2;
  static constexpr uintptr_t kTagBits = 3;
  static constexpr size_t kShortCapacity = sizeof(uintptr_t) - 2;
  static constexpr size_t kLengthBytes = sizeof(uint32_t);

  void Assign(std::string_view text);
  void Release() {
    if ((word_ & kTagBits) == 0) FreeBlock();
    word_ = kEmpty;
  }
  void FreeBlock();
  // The short form's word: the first and last four bytes (overlapping) of a
  // text of four or more, or its first, middle and last byte.
  static uintptr_t ShortWord(std::string_view text) {
    const size_t size = text.size();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    uintptr_t word = size * 2 + 1;
    if constexpr (kShortCapacity >= 4) {
      if (size >= 4) {
        uint32_t head, tail;
        std::memcpy(&head, bytes, sizeof head);
        std::memcpy(&tail, bytes + size - 4, sizeof tail);
        return word | uintptr_t{head} << 8 | uintptr_t{tail} << (8 * (size - 3));
      }
    }
    if (size > 0) {
      word |= uintptr_t{bytes[0]} << 8 | uintptr_t{bytes[size / 2]} << (8 * (size / 2 + 1)) |
              uintptr_t{bytes[size - 1]} << (8 * size);
    }
    return word;
  }
  static uintptr_t PooledWord(std::string_view text, TTextPool& pool) {
    if (text.size() > UINT32_MAX) ThrowTooLong();
    char* const block = pool.Allocate(kLengthBytes + text.size() + 1);
    FillBlock(block, text);
    return reinterpret_cast<uintptr_t>(block) | kPooledTag;
  }
  // Writes the block of `text` (of at most 2^32 - 1 bytes) at `block`: its
  // length, its bytes and a NUL.
  static void FillBlock(char* block, std::string_view text) {
    const auto length = static_cast<uint32_t>(text.size());
    std::memcpy(block, &length, kLengthBytes);
    std::memcpy(block + kLengthBytes, text.data(), text.size());
    block[kLengthBytes + text.size()] = '\0';
  }
  [[noreturn]] static void ThrowTooLong();
  bool IsShort() const { return (word_ & 1) != 0; }
  static bool IsPooled(uintptr_t word) { return (word & kTagBits) == kPooledTag; }
  const char* Block() const { return reinterpret_cast<const char*>(word_ & ~kTagBits); }
  static std::string Join(std::string_view a, std::string_view b);

  uintptr_t word_ = kEmpty;
};

}  // namespace vexmoor

template <>
struct std::hash<vexmoor::TEntryText> {
  size_t operator()(const vexmoor::TEntryText& text) const noexcept {
    return std::hash<std::string_view>()(text.View());
  }
};
