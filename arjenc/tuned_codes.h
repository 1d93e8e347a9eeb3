// --best: code lengths chosen for what the whole block takes, its head as well as its body.
// Huffman's lengths minimise the body alone, but the head pays for each length it writes (a
// length code, or a share of a run of zeros): near-equal counts often do better with equal
// lengths, and symbols unused between used ones with a length of their own.
#pragma once
#include "arjenc/huffman_block.h"

namespace arjenc {

// Rounds of TunedCodes that pay for the time they take.
constexpr int kTunedRounds = 3;

// The codes whose block (head and body) comes out smallest among those tried, never larger
// than BlockCodes(counts); more rounds (each pricing the head as the round before chose it)
// find a little more.
BlockCodes TunedCodes(const BlockCounts &counts, int rounds = kTunedRounds);

}  // namespace arjenc
