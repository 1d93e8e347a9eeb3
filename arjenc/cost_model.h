// What literals and matches cost under a block's codes, for the parsers' choices. Costs are
// in sixteenths of a bit.
#pragma once
#include <cstdint>

#include "arjenc/fast_code.h"
#include "arjenc/huffman_block.h"
#include "arjenc/packed_form.h"

namespace arjenc {

constexpr std::uint32_t kCostScale = 16;

// log2(x) for x of 1 or more in 1 / 2^kLogFractionBits, by integers alone (the same on every
// machine).
constexpr unsigned kLogFractionBits = 8;
std::uint32_t Log2Fixed(std::uint32_t x);

// What a literal, a length symbol and a position class cost.
struct CostModel {
  std::uint32_t symbol[kSymbolCount];
  std::uint32_t position_class[kPositionClassCount];

  // Costs from a block's codes; symbols the codes leave out cost a little more than the
  // longest code, so that a parse can still choose them.
  void FromCodes(const BlockCodes &codes);
  // Costs from a block's counts, as the fractions of bits an ideal code would spend.
  void FromCounts(const BlockCounts &counts);
  // A first guess before any codes exist: plain bytes, short matches near by.
  void Initial();
  // The fixed codes of method 4.
  void Fast();

  std::uint32_t DistanceCost(unsigned distance) const {
    const unsigned position = distance - 1;
    if (fast) return FastPositionCode(position).count * kCostScale;
    const unsigned c = PositionClass(position);
    return position_class[c] + (c > 1 ? c - 1 : 0) * kCostScale;
  }
  std::uint32_t MatchCost(unsigned length, unsigned distance) const {
    return symbol[length + kLengthSymbolBase] + DistanceCost(distance);
  }

  // Sets average_literal from a block's counts.
  void AverageLiteral(const BlockCounts &counts);

  std::uint32_t average_literal = 8 * kCostScale;
  bool fast = false;  // positions in method 4's code rather than by class
};

}  // namespace arjenc
