#include "arjenc/block_plan.h"

#include <cstdint>

#include "arjenc/cost_model.h"
#include "arjenc/huffman_block.h"
#include "arjenc/tuned_codes.h"

namespace arjenc {
namespace {

// Cuts are weighed this many tokens apart.
constexpr std::size_t kCutStep = 512;
// What the head spends for each symbol or class in use, about, in the estimate.
constexpr std::uint64_t kHeadBitsPerUsed = 5;

// Bits of an ideal code of these counts, in 256ths, and how many occur.
std::uint64_t CodeBits(const std::uint32_t *counts, unsigned n, unsigned *used) {
  std::uint64_t total = 0;
  for (unsigned i = 0; i < n; ++i) total += counts[i];
  if (total == 0) return 0;
  const std::uint64_t log_total = Log2Fixed(static_cast<std::uint32_t>(total));
  std::uint64_t bits = 0;
  for (unsigned i = 0; i < n; ++i) {
    if (counts[i] == 0) continue;
    ++*used;
    bits += counts[i] * (log_total - Log2Fixed(counts[i]));
  }
  return bits;
}

}  // namespace

std::uint64_t EstimatedBits(const BlockCounts &counts) {
  unsigned used = 0;
  std::uint64_t bits = (CodeBits(counts.symbols, kSymbolCount, &used) +
                        CodeBits(counts.classes, kPositionClassCount, &used)) >>
                       kLogFractionBits;
  for (unsigned c = 2; c < kPositionClassCount; ++c)
    bits += std::uint64_t{counts.classes[c]} * (c - 1);
  return bits + used * kHeadBitsPerUsed;
}

namespace {

// The counts of all less those of a part.
void Less(const BlockCounts &all, const BlockCounts &part, BlockCounts *rest) {
  for (unsigned s = 0; s < kSymbolCount; ++s) rest->symbols[s] = all.symbols[s] - part.symbols[s];
  for (unsigned c = 0; c < kPositionClassCount; ++c) {
    rest->classes[c] = all.classes[c] - part.classes[c];
  }
}

// The cut the estimate prices lowest, for n of at least 2 * kMinBlockTokens tokens.
std::size_t BestCut(const Token *tokens, std::size_t n) {
  BlockCounts all, left, right;
  all.Count(tokens, n);
  left.Clear();
  std::size_t counted = 0, best_cut = n / 2;
  std::uint64_t best = UINT64_MAX;
  for (std::size_t cut = kMinBlockTokens; cut + kMinBlockTokens <= n; cut += kCutStep) {
    left.Add(tokens + counted, cut - counted);
    counted = cut;
    Less(all, left, &right);
    const std::uint64_t bits = EstimatedBits(left) + EstimatedBits(right);
    if (bits < best) {
      best = bits;
      best_cut = cut;
    }
  }
  return best_cut;
}

}  // namespace

std::size_t BlockCost(const Token *tokens, std::size_t n) {
  BlockCounts counts;
  counts.Count(tokens, n);
  return BlockBits(counts, TunedCodes(counts));
}

std::size_t PlanBlocks(const Token *tokens, std::size_t n, std::vector<std::size_t> *sizes) {
  const std::size_t whole = n <= kMaxBlockSymbols ? BlockCost(tokens, n) : SIZE_MAX;
  if (n >= 2 * kMinBlockTokens) {
    std::vector<std::size_t> parts;
    const std::size_t cut = BestCut(tokens, n);
    const std::size_t bits =
        PlanBlocks(tokens, cut, &parts) + PlanBlocks(tokens + cut, n - cut, &parts);
    if (bits < whole) {
      sizes->insert(sizes->end(), parts.begin(), parts.end());
      return bits;
    }
  }
  sizes->push_back(n);
  return whole;
}

}  // namespace arjenc
