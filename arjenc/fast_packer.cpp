#include "arjenc/fast_packer.h"

#include "arjenc/bit_writer.h"
#include "arjenc/cost_model.h"
#include "arjenc/fast_code.h"
#include "arjenc/optimal_parser.h"

namespace arjenc {
namespace {

constexpr std::size_t kStretch = 64 * 1024;
constexpr unsigned kChain = 16;  // earlier positions searched per position
constexpr unsigned kBestChain = 256;
constexpr unsigned kTakeWhole = 64;  // matches this long are taken without a closer look
constexpr unsigned kBestTakeWhole = 192;

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
  // The codes are fixed, so one shortest-path parse is the cheapest for the matches found.
  OptimalParser parser(data, size, kFastMaxDistance, best ? kBestChain : kChain,
                       best ? kBestTakeWhole : kTakeWhole, tables);
  CostModel costs;
  costs.Fast();
  std::vector<Token> tokens;
  while (parser.NextStretch(kStretch) != 0) {
    parser.Parse(costs, &tokens);
    WriteTokens(tokens.data(), tokens.size(), out);
    if (out.ByteCount() >= give_up) return false;
  }
  out.Finish();
  return true;
}

}  // namespace arjenc
