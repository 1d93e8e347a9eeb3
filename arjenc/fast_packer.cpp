#include "arjenc/fast_packer.h"

#include "arjenc/bit_writer.h"
#include "arjenc/fast_code.h"
#include "arjenc/lazy_parser.h"

namespace arjenc {
namespace {

constexpr std::size_t kChunkTokens = 16384;

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
              std::vector<std::uint8_t> *packed) {
  (void)best;
  BitWriter out(packed);
  LazyOptions options;
  options.max_distance = kFastMaxDistance;
  LazyParser parser(data, size, options);
  std::vector<Token> tokens;
  tokens.reserve(kChunkTokens);
  while (parser.Parse(&tokens, kChunkTokens)) {
    WriteTokens(tokens.data(), tokens.size(), out);
    tokens.clear();
    if (out.ByteCount() >= give_up) return false;
  }
  out.Finish();
  return true;
}

}  // namespace arjenc
