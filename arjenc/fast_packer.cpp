#include "arjenc/fast_packer.h"

#include "arjenc/bit_writer.h"
#include "arjenc/cost_model.h"
#include "arjenc/fast_code.h"
#include "arjenc/lazy_parser.h"
#include "arjenc/optimal_parser.h"

namespace arjenc {
namespace {

constexpr std::size_t kStretch = 64 * 1024;
// The default, the fast method: a lazy parse that takes every match it finds. Under these
// codes any match costs fewer bits than the literals it replaces (three bytes: at most 3 + 17
// bits against 27). Chain depths of its own, apart from method 1's tuning.
constexpr unsigned kLazyChain = 19;
constexpr unsigned kLazySmallChain = 16;
// No look ahead past long matches nor two ahead: under fixed codes the literals a longer match
// costs weigh more, and small members came out larger.
constexpr unsigned kLazyLimit = 64;
// --best: one shortest-path parse, the cheapest for the matches found (the codes are fixed).
constexpr unsigned kBestChain = 256;
constexpr unsigned kBestTakeWhole = 192;  // matches this long are taken without a closer look

void WriteTokens(const Token *tokens, std::size_t n, BitWriter &out) {
  // A match takes at most 14 + 17 bits.
  out.Reserve(n * 31);
  for (std::size_t i = 0; i < n; ++i) {
    const Token t = tokens[i];
    if (!IsMatch(t)) {
      out.Put(TokenSymbol(t), kFastLiteralBits);
      continue;
    }
    const BitCode len = FastLengthCode(TokenLength(t));
    const BitCode pos = FastPositionCode(TokenPosition(t));
    out.Put(len.bits << pos.count | pos.bits, len.count + pos.count);
  }
}

}  // namespace

bool PackFast(const std::uint8_t *data, std::size_t size, bool best, std::size_t give_up,
              std::vector<std::uint8_t> *packed, MatchTables *tables) {
  BitWriter out(packed);
  std::vector<Token> tokens;
  if (best) {
    OptimalParser parser(data, size, kFastMaxDistance, kBestChain, kBestTakeWhole, tables);
    CostModel costs;
    costs.Fast();
    while (parser.NextStretch(kStretch) != 0) {
      parser.Parse(costs, &tokens);
      WriteTokens(tokens.data(), tokens.size(), out);
      if (out.ByteCount() >= give_up) return false;
    }
  } else {
    LazyOptions options;
    options.max_distance = kFastMaxDistance;
    options.max_chain = kLazyChain;
    options.small_chain = kLazySmallChain;
    options.lazy_limit = kLazyLimit;
    options.look_two_limit = 0;
    LazyParser parser(data, size, options, tables);
    BlockCounts counts;  // method 1's block counts, not needed here
    counts.Clear();
    while (parser.Parse(&tokens, kStretch, &counts)) {
      WriteTokens(tokens.data(), tokens.size(), out);
      tokens.clear();
      if (out.ByteCount() >= give_up) return false;
    }
  }
  out.Finish();
  return true;
}

}  // namespace arjenc
