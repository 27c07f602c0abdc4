// A catalogue entry's text in one machine word: up to six bytes are kept in
// the word itself, a longer text in one heap block of its own. A dat of
// 100,000 releases then builds entries a third of the size that a
// std::string per field gives, and a release number or a country letter
// costs no allocation.
#pragma once

#include <bit>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace vexmoor {

class TEntryText {
 public:
  TEntryText() = default;
  TEntryText(std::string_view text) { Assign(text); }  // NOLINT: reads as a string
  TEntryText(const std::string& text) : TEntryText(std::string_view(text)) {}
  TEntryText(const char* text) : TEntryText(std::string_view(text)) {}
  TEntryText(const TEntryText& other) : TEntryText(other.View()) {}
  TEntryText(TEntryText&& other) noexcept : word_(other.word_) { other.word_ = kEmpty; }
  ~TEntryText() { Release(); }

  TEntryText& operator=(const TEntryText& other) {
    if (this != &other) *this = other.View();
    return *this;
  }
  TEntryText& operator=(TEntryText&& other) noexcept {
    if (this != &other) {
      Release();
      word_ = other.word_;
      other.word_ = kEmpty;
    }
    return *this;
  }
  TEntryText& operator=(std::string_view text);
  TEntryText& operator=(const std::string& text) { return *this = std::string_view(text); }
  TEntryText& operator=(const char* text) { return *this = std::string_view(text); }

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
  // The word holds either a pointer to a heap block (its low bit clear:
  // the block is at least 4-byte aligned) laid out as a 32-bit length, the
  // bytes and a NUL; or, with its low bit set, the length times two plus one
  // in its first byte, the bytes in the next six and a NUL after them.
  static_assert(std::endian::native == std::endian::little, "the short form is read byte-wise");
  static constexpr uintptr_t kEmpty = 1;
  static constexpr size_t kShortCapacity = sizeof(uintptr_t) - 2;

  void Assign(std::string_view text);
  void Release();
  bool IsShort() const { return (word_ & 1) != 0; }
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
