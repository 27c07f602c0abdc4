// Generated inputs for the codec's benchmark and tests: a native dat text
// and a block of structured binary, both reproducible from a seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexmoor::bench {

// How the names of a generated dat text are made: each drawn from 48 titles
// (pairs and triples of the vocabulary's words, with a region), the same
// with the languages a release for that region lists, or each two to four
// words drawn from the vocabulary and one region, so that hardly any name
// repeats.
enum class DatNames { kTitles, kReleases, kWords };

// A native dat text of `lines` data lines ("0001|89ABCDEF|Name (Region)"),
// with a short [INFO] header; the names are made as `kind` says, the CRCs
// are random and every line ends in CR LF.
std::string GeneratedDatText(size_t lines, uint32_t seed = 1, DatNames kind = DatNames::kTitles);

// `size` bytes of binary with the texture of a program image: little-endian
// integers, tables of small values, repeated records and some noise.
std::string GeneratedBinary(size_t size, uint32_t seed = 1);

}  // namespace vexmoor::bench
