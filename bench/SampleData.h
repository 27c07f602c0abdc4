// Generated inputs for the codec's benchmark and tests: a native dat text
// and a block of structured binary, both reproducible from a seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexmoor::bench {

// A native dat text of `lines` data lines ("0001|89ABCDEF|Name (Region)"),
// with a short [INFO] header; the names come from a vocabulary of 48 release
// names, the CRCs are random and every line ends in CR LF.
std::string GeneratedDatText(size_t lines, uint32_t seed = 1);

// `size` bytes of binary with the texture of a program image: little-endian
// integers, tables of small values, repeated records and some noise.
std::string GeneratedBinary(size_t size, uint32_t seed = 1);

}  // namespace vexmoor::bench
