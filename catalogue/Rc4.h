// RC4 (ARCFOUR) over the process's one shared cipher state, as the dat
// container uses it. Not thread-safe: every use runs Rc4SetKey and then
// Rc4CryptStream without another use in between.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexmoor {

// The key every dat container is enciphered with.
inline constexpr std::string_view kDatKey = "KESTREL_FOX_DAWN";

// The standard key schedule into the shared state. Throws Error for an empty
// key.
void Rc4SetKey(std::string_view key);

// Combines every byte of `stream`, from position 0 to the end, with the
// keystream of the shared state, in place (i and j start at 0; the
// permutation goes on from where the key schedule or the last call left it).
// The same call enciphers and deciphers.
void Rc4CryptStream(std::string& stream);

// One byte of a memory stream at an absolute position. Throws Error for a
// position at or past the end.
unsigned char StreamByteAt(size_t position, const std::string& stream);
void SetStreamByteAt(size_t position, unsigned char value, std::string& stream);

}  // namespace vexmoor
