#include "arjenc/cost_model.h"

#include <algorithm>

namespace arjenc {
namespace {

// Bits beyond the longest code for a symbol the codes leave out.
constexpr std::uint32_t kUnusedExtra = 2;

// The cost of each of n symbols from its code length. With fewer than two symbols in use
// the code takes no bits, but a parse still needs a cost to compare by.
void CostsFromLengths(const std::uint8_t *lengths, unsigned n, unsigned used, std::uint32_t *cost) {
  unsigned longest = 0;
  for (unsigned i = 0; i < n; ++i) longest = std::max<unsigned>(longest, lengths[i]);
  for (unsigned i = 0; i < n; ++i) {
    cost[i] = kCostScale * (used < 2 ? 1 : lengths[i] ? lengths[i] : longest + kUnusedExtra);
  }
}

}  // namespace

void CostModel::FromCodes(const BlockCodes &codes) {
  CostsFromLengths(codes.symbol_lengths, kSymbolCount, codes.symbol_used, symbol);
  CostsFromLengths(codes.class_lengths, kPositionClassCount, codes.class_used, position_class);
}

namespace {

// The whole part from the bit length, each fraction bit by squaring the mantissa.
std::uint32_t ComputedLog2(std::uint32_t x) {
  const unsigned whole = 31u - static_cast<unsigned>(__builtin_clz(x));
  // The mantissa in [1, 2) with 31 fraction bits.
  std::uint64_t m = static_cast<std::uint64_t>(x) << (31 - whole);
  std::uint32_t log = whole << kLogFractionBits;
  for (unsigned bit = kLogFractionBits; bit-- > 0;) {
    m = (m * m) >> 31;
    if (m >= (std::uint64_t{1} << 32)) {
      m >>= 1;
      log |= 1u << bit;
    }
  }
  return log;
}

// The logs of small counts, which the block estimates ask for most, looked up.
struct SmallLogs {
  static constexpr std::uint32_t kCount = 4096;
  std::uint32_t log[kCount];
  SmallLogs() {
    log[0] = 0;
    for (std::uint32_t x = 1; x < kCount; ++x) log[x] = ComputedLog2(x);
  }
};
const SmallLogs kSmallLogs;

}  // namespace

std::uint32_t Log2Fixed(std::uint32_t x) {
  return x < SmallLogs::kCount ? kSmallLogs.log[x] : ComputedLog2(x);
}

namespace {

// Costs as an ideal code of these counts would spend, at least half a bit; symbols that do
// not occur cost a little more than the rarest could.
void CostsFromCounts(const std::uint32_t *counts, unsigned n, std::uint32_t *cost) {
  constexpr std::uint32_t kToCost = (1u << kLogFractionBits) / kCostScale;
  constexpr std::uint32_t kLeast = kCostScale / 2;
  std::uint32_t total = 0;
  for (unsigned i = 0; i < n; ++i) total += counts[i];
  const std::uint32_t log_total = Log2Fixed(total ? total : 1);
  const std::uint32_t unused = log_total / kToCost + kUnusedExtra * kCostScale;
  for (unsigned i = 0; i < n; ++i) {
    const std::uint32_t bits =
        counts[i] ? (log_total - Log2Fixed(counts[i]) + kToCost / 2) / kToCost : unused;
    cost[i] = std::max(bits, kLeast);
  }
}

}  // namespace

void CostModel::FromCounts(const BlockCounts &counts) {
  fast = false;
  CostsFromCounts(counts.symbols, kSymbolCount, symbol);
  CostsFromCounts(counts.classes, kPositionClassCount, position_class);
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
