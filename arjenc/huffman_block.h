// One block of method 1: the symbol count, the three code tables of the block head, then
// the block's literals and matches in those codes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "arjenc/bit_writer.h"
#include "arjenc/packed_form.h"
#include "arjenc/token.h"

namespace arjenc {

struct BlockCounts {
  std::uint32_t symbols[kSymbolCount];
  std::uint32_t classes[kPositionClassCount];

  void Clear();
  void Add(const Token *tokens, std::size_t n);
  // The counts of these tokens alone.
  void Count(const Token *tokens, std::size_t n) {
    Clear();
    Add(tokens, n);
  }
};

// The codes of one block, chosen from its counts.
struct BlockCodes {
  std::uint8_t symbol_lengths[kSymbolCount];
  std::uint16_t symbol_codes[kSymbolCount];
  std::uint8_t class_lengths[kPositionClassCount];
  std::uint16_t class_codes[kPositionClassCount];
  unsigned symbol_used;  // symbols that occur; with just one, it is named in the head
  unsigned class_used;
  unsigned only_symbol;  // the one symbol or class when only one occurs
  unsigned only_class;

  explicit BlockCodes(const BlockCounts &counts);
  // After the lengths of a code of two or more symbols were changed: each must still form a
  // complete code and give every symbol that occurs a length (others may have one too).
  void LengthsChanged();
};

// What the head spends, for choosing lengths with it in view. A symbol length L is written
// in length code L + kLengthCodeBase; runs of zeros in the codes below it.
constexpr unsigned kLengthCodeBase = 2;
// The lengths of the length codes (0 to 18) the head would write these symbol lengths in.
void LengthCodeLengths(const std::uint8_t *symbol_lengths, std::uint8_t *lengths);
// Bits of a run of zero symbol lengths, given the bits of each length code.
unsigned ZeroRunBits(unsigned run, const unsigned *code_bits);
// Bits of one length in the length-code or position table.
unsigned SmallLengthBits(unsigned length);

// Bits the block head and its body take with these codes.
std::size_t BlockBits(const BlockCounts &counts, const BlockCodes &codes);

// Writes a block of 1 to kMaxBlockSymbols tokens in the codes chosen from their counts.
void WriteBlock(const Token *tokens, std::size_t n, const BlockCodes &codes, BitWriter &out);

}  // namespace arjenc
