// A yardstick for the packer's parse: a near-optimal parse of the same
// stream format that ignores the packer's memory limit. It finds, for every
// position, the nearest offset for each match length and a few more matches
// (exact three-byte hash chains over the whole window), then chooses codes
// by a forward dynamic programme over all positions that keeps, for each
// position, the cheapest ways to reach it with different match flags and
// last offsets. Slow and memory-hungry by design; for benchmarks only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexmoor::bench {

// The stream of the reference parse for `input` (empty for an empty input).
// It is decoded again before it is returned; an empty result for a non-empty
// input means the round trip failed.
// Offsets are limited to `maxOffset`: the packer's window, or more to see
// what the window costs.
std::vector<uint8_t> ReferencePack(const std::string& input, uint32_t maxOffset);

}  // namespace vexmoor::bench
