// --best: code lengths chosen for what the whole block takes, its head as well as its body.
// Huffman's lengths minimise the body alone, but the head pays for each length it writes (a
// length code, or a share of a run of zeros): near-equal counts often do better with equal
// lengths, and symbols unused between used ones with a length of their own.
#pragma once
#include "arjenc/huffman_block.h"

namespace arjenc {

// The codes whose block (head and body) comes out smallest among those tried, never larger
// than BlockCodes(counts).
BlockCodes TunedCodes(const BlockCounts &counts);

}  // namespace arjenc
