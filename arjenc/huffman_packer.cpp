#include "arjenc/huffman_packer.h"

#include <algorithm>
#include <cstdint>

#include "arjenc/best_packer.h"
#include "arjenc/bit_writer.h"
#include "arjenc/cost_model.h"
#include "arjenc/huffman_block.h"
#include "arjenc/lazy_parser.h"

namespace arjenc {
namespace {

// The default: lazy parsing, blocks as large as a head can count (fewer heads pay off more
// than codes fitted closer), short matches weighed by the codes of the block before.
constexpr std::size_t kLazyBlockTokens = kMaxBlockSymbols;

bool PackLazy(const std::uint8_t *data, std::size_t size, std::size_t give_up,
              std::vector<std::uint8_t> *packed, MatchTables *tables) {
  BitWriter out(packed);
  // The first block takes every match it finds: weighed by a guess at the codes, small
  // members came out no smaller and took longer.
  LazyParser parser(data, size, LazyOptions{}, tables);
  CostModel costs;
  std::vector<Token> tokens;
  tokens.reserve(std::min(size, kLazyBlockTokens));
  BlockCounts counts;
  counts.Clear();
  while (parser.Parse(&tokens, kLazyBlockTokens, &counts)) {
    const BlockCodes codes(counts);
    // A block that is not full is the last: no costs are needed after it.
    if (tokens.size() == kLazyBlockTokens) {
      costs.FromCodes(codes);
      costs.AverageLiteral(counts);
      parser.SetCosts(&costs);
    }
    WriteBlock(tokens.data(), tokens.size(), codes, out);
    tokens.clear();
    counts.Clear();
    if (out.ByteCount() >= give_up) return false;
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
