#include "catalogue/EntryText.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace vexmoor {

namespace {

// Big enough that a 100,000-release dat takes a few dozen chunks; a text of
// more than a quarter of it gets a chunk of its own.
constexpr size_t kPoolChunk = 64 * 1024;

}  // namespace

char* TTextPool::AllocateInNewChunk(size_t bytes) {
  if (bytes > kPoolChunk / 4) {
    // A chunk of its own; the rest of the current chunk stays in use.
    chunks_.push_back(std::unique_ptr<char[]>(new char[bytes]));
    return chunks_.back().get();
  }
  chunks_.push_back(std::unique_ptr<char[]>(new char[kPoolChunk]));
  next_ = chunks_.back().get() + bytes;
  left_ = kPoolChunk - bytes;
  return chunks_.back().get();
}

void TEntryText::ThrowTooLong() { throw std::length_error("entry text too long"); }

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
    word_ = ShortWord(text);
    return;
  }
  if (text.size() > std::numeric_limits<uint32_t>::max()) ThrowTooLong();
  auto* block = static_cast<char*>(std::malloc(kLengthBytes + text.size() + 1));
  if (block == nullptr) throw std::bad_alloc();
  FillBlock(block, text);
  word_ = reinterpret_cast<uintptr_t>(block);
}

void TEntryText::FreeBlock() { std::free(reinterpret_cast<void*>(word_)); }

const char* TEntryText::data() const {
  if (IsShort()) return reinterpret_cast<const char*>(&word_) + 1;
  return Block() + kLengthBytes;
}

size_t TEntryText::size() const {
  if (IsShort()) return (word_ & 0xFF) >> 1;
  uint32_t length;
  std::memcpy(&length, Block(), kLengthBytes);
  return length;
}

std::string TEntryText::Join(std::string_view a, std::string_view b) {
  std::string joined;
  joined.reserve(a.size() + b.size());
  joined.append(a).append(b);
  return joined;
}

}  // namespace vexmoor
