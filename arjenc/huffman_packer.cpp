#include "arjenc/huffman_packer.h"

#include <algorithm>
#include <cstdint>

#include "arjenc/best_packer.h"
#include "arjenc/bit_writer.h"
#include "arjenc/block_plan.h"
#include "arjenc/cost_model.h"
#include "arjenc/huffman_block.h"
#include "arjenc/lazy_parser.h"

namespace arjenc {
namespace {

// The default: lazy parsing, short matches weighed by the codes of the block before. Tokens
// are parsed a segment at a time, and each segment joins the block before unless its
// symbols differ enough from the block's that codes of its own pay for another head. Blocks as
// large as a head can count, each one's codes a compromise, did markedly worse on executables.
constexpr std::size_t kSegmentTokens = 4096;

// Adds the counts of b to a.
void AddCounts(BlockCounts *a, const BlockCounts &b) {
  for (unsigned s = 0; s < kSymbolCount; ++s) a->symbols[s] += b.symbols[s];
  for (unsigned c = 0; c < kPositionClassCount; ++c) a->classes[c] += b.classes[c];
}

bool PackLazy(const std::uint8_t *data, std::size_t size, std::size_t give_up,
              std::vector<std::uint8_t> *packed, MatchTables *tables) {
  BitWriter out(packed);
  // The first block takes every match it finds: weighed by a guess at the codes, small
  // members came out no smaller and took longer.
  LazyParser parser(data, size, LazyOptions{}, tables);
  CostModel costs;
  std::vector<Token> tokens;
  tokens.reserve(std::min(size, kMaxBlockSymbols + kSegmentTokens));
  BlockCounts block, segment, merged;
  block.Clear();
  // The block's estimate, worked out when a segment first has to be weighed against it
  // (small members never need one).
  constexpr std::uint64_t kNotEstimated = UINT64_MAX;
  std::uint64_t block_bits = kNotEstimated;
  for (;;) {
    const std::size_t held = tokens.size();
    segment.Clear();
    const bool more = parser.Parse(&tokens, held + kSegmentTokens, &segment);
    const std::size_t added = tokens.size() - held;
    if (added != 0 && held == 0) {
      block = segment;
      block_bits = kNotEstimated;
      continue;
    }
    std::uint64_t segment_bits = kNotEstimated;
    if (added != 0 && held + added <= kMaxBlockSymbols) {
      merged = block;
      AddCounts(&merged, segment);
      if (block_bits == kNotEstimated) block_bits = EstimatedBits(block);
      const std::uint64_t merged_bits = EstimatedBits(merged);
      segment_bits = EstimatedBits(segment);
      if (merged_bits <= block_bits + segment_bits) {
        block = merged;
        block_bits = merged_bits;
        continue;
      }
    }
    if (held == 0) break;
    const BlockCodes codes(block);
    WriteBlock(tokens.data(), held, codes, out);
    if (out.ByteCount() >= give_up) return false;
    if (!more) break;
    tokens.erase(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(held));
    costs.FromCodes(codes);
    costs.AverageLiteral(block);
    parser.SetCosts(&costs);
    block = segment;
    block_bits = segment_bits;
  }
  out.Finish();
  return true;
}

}  // namespace

bool PackHuffman(const std::uint8_t *data, std::size_t size, bool best, std::size_t give_up,
                 std::vector<std::uint8_t> *packed, MatchTables *tables) {
  return best ? PackBest(data, size, give_up, packed, tables)
              : PackLazy(data, size, give_up, packed, tables);
}

}  // namespace arjenc
