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

  // The symbol table is kept only in the form the hot loop reads: see PackSymbolEntry.
  // 16-bit entries keep it at 8 KiB, in the first-level cache while the window streams past.
  std::uint16_t symbol_lookup[1 << kSymbolTableBits];

  // Derived from the small table at each block head: a position's code with its extra bits
  // read as one number, and what turns that number into the position; or, with bits
  // kNeedsWalk, an entry that leads into the tree.
  static constexpr std::uint32_t kNeedsWalk = 0xFF;
  FieldCode position_lookup[1 << kSmallTableBits];
};

// Assigns canonical codes (shorter first, lower symbol first among equals) and fills a
// table of 2^table_bits entries plus tree nodes for longer codes. False when the lengths do
// not form a code, or the tree would outgrow its node arrays. Entries the codes do not
// reach keep what they held.
bool BuildDecodeTable(int symbol_count, const std::uint8_t *lengths, int table_bits,
                      std::uint16_t *table, HuffmanTables &tables);
// How many symbols have each code length (1 to 16; the count of 0 is not used).
struct CodeCounts {
  unsigned of_length[17];
};
// The same for the symbol alphabet from tables.symbol_lengths, into tables.symbol_lookup,
// with the lengths counted by their reader (none above 16).
bool BuildSymbolTable(HuffmanTables &tables, const CodeCounts &counts);

// A symbol table entry: the bits its code takes in the low six bits, so that a shift can
// take the entry as its count, and above them a symbol (below 510) or, for codes longer
// than the table's bits, a tree node number (510 and above).
constexpr unsigned kEntryValueShift = 6;
constexpr unsigned kEntryBitsMask = (1u << kEntryValueShift) - 1;
static_assert(kNodeCount << kEntryValueShift <= 0xFFFF, "an entry holds every node number");
inline std::uint16_t PackSymbolEntry(unsigned value, unsigned bits) {
  return static_cast<std::uint16_t>(value << kEntryValueShift | bits);
}
// An entry for value, a symbol with the bits of its code in lengths, or a tree node.
inline std::uint16_t SymbolEntry(unsigned value, const std::uint8_t *lengths) {
  return PackSymbolEntry(value, value < static_cast<unsigned>(kSymbolCount) ? lengths[value] : 0);
}
inline unsigned SymbolEntryValue(std::uint32_t entry) { return entry >> kEntryValueShift; }
inline unsigned SymbolEntryBits(std::uint32_t entry) { return entry & kEntryBitsMask; }
inline bool SymbolEntryIsLiteral(std::uint32_t entry) { return entry < 256u << kEntryValueShift; }
inline bool SymbolEntryLeadsToTree(std::uint32_t entry) {
  return entry >= static_cast<unsigned>(kSymbolCount) << kEntryValueShift;
}

// Decodes one member of methods 1 to 3. Returns kOk, kBadCodeData or kWriteFailure.
int UnpackHuffman(HuffmanTables &tables, BitInput &input, SlidingWindow &window,
                  MemberOutput &output, std::int32_t unpacked_size);

}  // namespace arj
