// --best: where a stretch of tokens is cut into blocks, each with codes of its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "arjenc/huffman_block.h"
#include "arjenc/token.h"

namespace arjenc {

// No block is planned shorter than this many tokens.
constexpr std::size_t kMinBlockTokens = 1024;

// A quick estimate of the bits of a block of these counts, its head roughly included, for
// comparing ways to cut tokens into blocks.
std::uint64_t EstimatedBits(const BlockCounts &counts);

// Bits of n tokens as one block in the codes TunedCodes chooses for them.
std::size_t BlockCost(const Token *tokens, std::size_t n);

// Appends to *sizes the blocks that cover n tokens: the whole when it fits a block and no
// cut into two (recursively) comes out smaller. The cut tried is the one an estimate from
// the two sides' counts prices lowest, among cuts every kCutStep tokens; then neighbours are
// merged and cuts moved, in smaller steps, where the blocks' true bits say so. Returns
// their bits.
std::size_t PlanBlocks(const Token *tokens, std::size_t n, std::vector<std::size_t> *sizes);

}  // namespace arjenc
