#include "catalogue/EntryText.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace vexmoor {

namespace {

constexpr size_t kLengthBytes = sizeof(uint32_t);

}  // namespace

TEntryText& TEntryText::operator=(std::string_view text) {
  // The text may lie within this one's own block: build the new one first.
  TEntryText built(text);
  Release();
  word_ = built.word_;
  built.word_ = kEmpty;
  return *this;
}

void TEntryText::Assign(std::string_view text) {
  if (text.size() <= kShortCapacity) {
    word_ = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&word_);
    bytes[0] = static_cast<unsigned char>(text.size() * 2 + 1);
    if (!text.empty()) std::memcpy(bytes + 1, text.data(), text.size());
    return;
  }
  if (text.size() > std::numeric_limits<uint32_t>::max())
    throw std::length_error("entry text too long");
  const auto length = static_cast<uint32_t>(text.size());
  auto* block = static_cast<char*>(std::malloc(kLengthBytes + text.size() + 1));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, &length, kLengthBytes);
  std::memcpy(block + kLengthBytes, text.data(), text.size());
  block[kLengthBytes + text.size()] = '\0';
  word_ = reinterpret_cast<uintptr_t>(block);
}

void TEntryText::Release() {
  if (!IsShort()) std::free(reinterpret_cast<void*>(word_));
  word_ = kEmpty;
}

const char* TEntryText::data() const {
  if (IsShort()) return reinterpret_cast<const char*>(&word_) + 1;
  return reinterpret_cast<const char*>(word_) + kLengthBytes;
}

size_t TEntryText::size() const {
  if (IsShort()) return (word_ & 0xFF) >> 1;
  uint32_t length;
  std::memcpy(&length, reinterpret_cast<const void*>(word_), kLengthBytes);
  return length;
}

std::string TEntryText::Join(std::string_view a, std::string_view b) {
  std::string joined;
  joined.reserve(a.size() + b.size());
  joined.append(a).append(b);
  return joined;
}

}  // namespace vexmoor
