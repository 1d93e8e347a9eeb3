#include "arjenc/cost_model.h"

#include <algorithm>

namespace arjenc {
namespace {

// Bits beyond the longest code for a symbol the codes leave out.
constexpr std::uint32_t kUnusedExtra = 2;

}  // namespace

void CostModel::FromCodes(const BlockCodes &codes) {
  unsigned longest = 0;
  for (unsigned i = 0; i < kSymbolCount; ++i)
    longest = std::max<unsigned>(longest, codes.symbol_lengths[i]);
  for (unsigned i = 0; i < kSymbolCount; ++i) {
    symbol[i] = kCostScale * (codes.symbol_used < 2     ? 1
                              : codes.symbol_lengths[i] ? codes.symbol_lengths[i]
                                                        : longest + kUnusedExtra);
  }
  unsigned longest_class = 0;
  for (unsigned c = 0; c < kPositionClassCount; ++c)
    longest_class = std::max<unsigned>(longest_class, codes.class_lengths[c]);
  for (unsigned c = 0; c < kPositionClassCount; ++c) {
    position_class[c] = kCostScale * (codes.class_used < 2     ? 1
                                      : codes.class_lengths[c] ? codes.class_lengths[c]
                                                               : longest_class + kUnusedExtra);
  }
}

void CostModel::AverageLiteral(const BlockCounts &counts) {
  std::uint64_t count = 0;
  std::uint64_t cost = 0;
  for (unsigned i = 0; i < 256; ++i) {
    count += counts.symbols[i];
    cost += static_cast<std::uint64_t>(counts.symbols[i]) * symbol[i];
  }
  if (count) average_literal = static_cast<std::uint32_t>(cost / count);
}

void CostModel::Fast() {
  fast = true;
  for (unsigned i = 0; i < 256; ++i) symbol[i] = kFastLiteralBits * kCostScale;
  for (unsigned len = kMinMatch; len <= kMaxMatch; ++len) {
    symbol[len + kLengthSymbolBase] = FastLengthCode(len).count * kCostScale;
  }
}

void CostModel::Initial() {
  fast = false;
  for (unsigned i = 0; i < 256; ++i) symbol[i] = 8 * kCostScale;
  for (unsigned i = 256; i < kSymbolCount; ++i)
    symbol[i] = kCostScale * (i - 256 < 16 ? 6 + (i - 256) / 4 : 11);
  for (unsigned c = 0; c < kPositionClassCount; ++c) position_class[c] = 4 * kCostScale;
}

}  // namespace arjenc
