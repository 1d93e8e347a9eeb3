#include "arjenc/block_plan.h"

#include <cstddef>
#include <cstdint>

#include "arjenc/cost_model.h"
#include "arjenc/huffman_block.h"
#include "arjenc/tuned_codes.h"

namespace arjenc {
namespace {

// Cuts are weighed this many tokens apart.
constexpr std::size_t kCutStep = 512;
// Cuts are moved by halving steps from the first to the smallest (see MoveCuts).
constexpr std::size_t kFirstCutMove = 2048;
constexpr std::size_t kSmallestCutMove = 32;
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

namespace {

// Cuts into two, recursively, while that pays (see PlanBlocks).
std::size_t SplitBlocks(const Token *tokens, std::size_t n, std::vector<std::size_t> *sizes) {
  const std::size_t whole = n <= kMaxBlockSymbols ? BlockCost(tokens, n) : SIZE_MAX;
  if (n >= 2 * kMinBlockTokens) {
    std::vector<std::size_t> parts;
    const std::size_t cut = BestCut(tokens, n);
    const std::size_t bits =
        SplitBlocks(tokens, cut, &parts) + SplitBlocks(tokens + cut, n - cut, &parts);
    if (bits < whole) {
      sizes->insert(sizes->end(), parts.begin(), parts.end());
      return bits;
    }
  }
  sizes->push_back(n);
  return whole;
}

// Neighbours the halving kept apart, merged where one block comes out smaller than two.
void MergeNeighbours(const Token *tokens, std::vector<std::size_t> *sizes,
                     std::vector<std::size_t> *bits) {
  const Token *at = tokens;
  for (std::size_t b = 0; b + 1 < sizes->size();) {
    const std::size_t joined = (*sizes)[b] + (*sizes)[b + 1];
    const std::size_t cost = joined <= kMaxBlockSymbols ? BlockCost(at, joined) : SIZE_MAX;
    if (cost < (*bits)[b] + (*bits)[b + 1]) {
      (*sizes)[b] = joined;
      (*bits)[b] = cost;
      sizes->erase(sizes->begin() + static_cast<std::ptrdiff_t>(b + 1));
      bits->erase(bits->begin() + static_cast<std::ptrdiff_t>(b + 1));
    } else {
      at += (*sizes)[b];
      ++b;
    }
  }
}

// Each cut moved by halving steps, either way while that pays: the
// estimate that placed it does not see the heads' true costs.
void MoveCuts(const Token *tokens, std::vector<std::size_t> *sizes,
              std::vector<std::size_t> *bits) {
  const Token *at = tokens;
  for (std::size_t b = 0; b + 1 < sizes->size(); at += (*sizes)[b], ++b) {
    std::size_t &left = (*sizes)[b], &right = (*sizes)[b + 1];
    for (std::size_t step = kFirstCutMove; step >= kSmallestCutMove; step /= 2) {
      for (const bool later : {false, true}) {
        while (true) {
          const std::size_t from = later ? right : left;
          if (from <= step || (later ? left : right) + step > kMaxBlockSymbols) break;
          const std::size_t new_left = later ? left + step : left - step;
          const std::size_t new_right = left + right - new_left;
          const std::size_t left_bits = BlockCost(at, new_left);
          const std::size_t right_bits = BlockCost(at + new_left, new_right);
          if (left_bits + right_bits >= (*bits)[b] + (*bits)[b + 1]) break;
          left = new_left;
          right = new_right;
          (*bits)[b] = left_bits;
          (*bits)[b + 1] = right_bits;
        }
      }
    }
  }
}

}  // namespace

std::size_t PlanBlocks(const Token *tokens, std::size_t n, std::vector<std::size_t> *sizes) {
  std::vector<std::size_t> planned;
  const std::size_t whole = SplitBlocks(tokens, n, &planned);
  if (planned.size() > 1) {
    std::vector<std::size_t> bits;
    const Token *at = tokens;
    for (const std::size_t size : planned) {
      bits.push_back(BlockCost(at, size));
      at += size;
    }
    MergeNeighbours(tokens, &planned, &bits);
    MoveCuts(tokens, &planned, &bits);
    std::size_t total = 0;
    for (const std::size_t b : bits) total += b;
    sizes->insert(sizes->end(), planned.begin(), planned.end());
    return total;
  }
  sizes->insert(sizes->end(), planned.begin(), planned.end());
  return whole;
}

}  // namespace arjenc
