// Methods 1 to 3: LZ77 over a 26624-byte window with static Huffman codes sent at the head
// of every block. The code tables persist between blocks, members and calls: a block whose
// code lengths are all zero keeps decoding with the tables left by earlier blocks.
#pragma once
#include <cstdint>

#include "arj/bit_input.h"
#include "arj/member_output.h"
#include "arj/sliding_window.h"

namespace arj {

constexpr int kSymbolCount = 510;  // 256 literals and match lengths 3 to 256
constexpr int kLengthCodeCount = 19;
constexpr int kPositionCount = 17;
constexpr int kNodeCount = 2 * kSymbolCount - 1;
constexpr int kSymbolTableBits = 12;
constexpr int kSmallTableBits = 8;

struct HuffmanTables {
  std::uint8_t symbol_lengths[kSymbolCount];
  std::uint8_t small_lengths[kLengthCodeCount];
  // Entries below the alphabet's size are symbols; others are tree nodes for codes longer
  // than the table's bits.
  std::uint16_t small_table[1 << kSmallTableBits];
  std::uint16_t left[kNodeCount];
  std::uint16_t right[kNodeCount];

  // The symbol table is kept only in the form the hot loop reads: a symbol with the bits its
  // code takes (symbol | bits << 9), or, with kSymbolWalk set, a tree node number. 16-bit
  // entries keep it at 8 KiB, in the first-level cache while the window streams past.
  static constexpr std::uint16_t kSymbolWalk = 0x8000u;
  static constexpr unsigned kSymbolBitsShift = 9;
  std::uint16_t symbol_lookup[1 << kSymbolTableBits];

  // Derived from the small table at each block head: a position class as its code's bits,
  // extra bits and first position, or kNeedsWalk when the entry leads into the tree.
  static constexpr std::uint32_t kNeedsWalk = 0x80000000u;
  std::uint32_t position_lookup[1 << kSmallTableBits];
};

// Assigns canonical codes (shorter first, lower symbol first among equals) and fills a
// table of 2^table_bits entries plus tree nodes for longer codes. False when the lengths do
// not form a code, or the tree would outgrow its node arrays. Entries the codes do not
// reach keep what they held.
bool BuildDecodeTable(int symbol_count, const std::uint8_t *lengths, int table_bits,
                      std::uint16_t *table, HuffmanTables &tables);
// The same for the symbol alphabet from tables.symbol_lengths, into tables.symbol_lookup.
bool BuildSymbolTable(HuffmanTables &tables);

// A symbol table entry: value is a symbol (below 510) or a tree node number.
inline std::uint16_t SymbolEntry(unsigned value, const std::uint8_t *lengths) {
  return static_cast<std::uint16_t>(value < static_cast<unsigned>(kSymbolCount)
                                        ? value | lengths[value] << HuffmanTables::kSymbolBitsShift
                                        : value | HuffmanTables::kSymbolWalk);
}
inline unsigned SymbolEntryValue(std::uint16_t entry) {
  return entry & HuffmanTables::kSymbolWalk ? entry & 0x3FFu : entry & 0x1FFu;
}

// Decodes one member of methods 1 to 3. Returns kOk, kBadCodeData or kWriteFailure.
int UnpackHuffman(HuffmanTables &tables, BitInput &input, SlidingWindow &window,
                  MemberOutput &output, std::int32_t unpacked_size);

}  // namespace arj
