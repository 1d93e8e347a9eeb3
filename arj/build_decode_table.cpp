#include <cstring>

#include "arj/huffman_decoder.h"

namespace arj {
namespace {

// Codes no longer than the table bits fill runs of 2^k entries, aligned to their size: the
// short runs (the longest codes, the most of them) with one store, the long ones with 16 bytes
// a store.
typedef std::uint16_t Entries8 __attribute__((vector_size(16)));
inline void Fill(std::uint16_t *p, std::uint16_t value, unsigned count) {
  if (count >= 8) {
    const Entries8 eight = {value, value, value, value, value, value, value, value};
    for (unsigned i = 0; i < count; i += 8) std::memcpy(p + i, &eight, sizeof eight);
  } else if (count == 4) {
    const std::uint64_t four = value * 0x0001000100010001ull;
    std::memcpy(p, &four, sizeof four);
  } else if (count == 2) {
    const std::uint32_t two = value * 0x00010001u;
    std::memcpy(p, &two, sizeof two);
  } else {
    *p = value;
  }
}

// A table of plain 16-bit entries (the small alphabets).
struct PlainTable {
  std::uint16_t *entries;
  unsigned Get(unsigned i) const { return entries[i]; }
  void Set(unsigned i, unsigned v) { entries[i] = static_cast<std::uint16_t>(v); }
  void FillCode(unsigned at, unsigned count, unsigned symbol, unsigned) {
    Fill(entries + at, static_cast<std::uint16_t>(symbol), count);
  }
};

// The symbol table held in its lookup form only; see HuffmanTables.
struct SymbolTable {
  std::uint16_t *entries;
  const std::uint8_t *lengths;
  unsigned Get(unsigned i) const { return SymbolEntryValue(entries[i]); }
  void Set(unsigned i, unsigned v) { entries[i] = SymbolEntry(v, lengths); }
  void FillCode(unsigned at, unsigned count, unsigned symbol, unsigned length) {
    Fill(entries + at, PackSymbolEntry(symbol, length), count);
  }
};

// How many symbols have each length (0 to 16); false for a length above 16.
bool CountLengths(int symbol_count, const std::uint8_t *lengths, CodeCounts &counts) {
  // Counted into two tallies by turns: runs of one length (zeros above all) would otherwise
  // wait on the previous increment's store.
  unsigned tally[2][17] = {};
  for (int i = 0; i < symbol_count; ++i) {
    if (lengths[i] > 16) return false;
    ++tally[i & 1][lengths[i]];
  }
  for (int len = 0; len <= 16; ++len) counts.of_length[len] = tally[0][len] + tally[1][len];
  return true;
}

template <class Table>
bool Build(int symbol_count, const std::uint8_t *lengths, const CodeCounts &counts, int table_bits,
           Table table, HuffmanTables &tables) {
  const unsigned *const count = counts.of_length;
  // Code starts in 16-bit arithmetic: a complete code sums to exactly 65536, that is 0.
  std::uint16_t start[18];
  start[1] = 0;
  for (int len = 1; len <= 16; ++len) {
    start[len + 1] = static_cast<std::uint16_t>(start[len] + (count[len] << (16 - len)));
  }
  if (start[17] != 0) return false;

  const int shift = 16 - table_bits;
  unsigned weight[17];
  for (int len = 1; len <= table_bits; ++len) {
    start[len] = static_cast<std::uint16_t>(start[len] >> shift);
    weight[len] = 1u << (table_bits - len);
  }
  for (int len = table_bits + 1; len <= 16; ++len) weight[len] = 1u << (16 - len);

  const unsigned table_size = 1u << table_bits;
  const unsigned first_long = static_cast<unsigned>(start[table_bits + 1]) >> shift;
  if (first_long != 0) {
    for (unsigned i = first_long; i < table_size; ++i) table.Set(i, 0);
  }

  unsigned next_node = static_cast<unsigned>(symbol_count);
  const unsigned branch_mask = 1u << (15 - table_bits);
  for (int ch = 0; ch < symbol_count; ++ch) {
    const int len = lengths[ch];
    if (len == 0) continue;
    unsigned k = start[len];
    const unsigned next = k + weight[len];
    if (len <= table_bits) {
      if (next > table_size) return false;
      table.FillCode(k, next - k, static_cast<unsigned>(ch), static_cast<unsigned>(len));
    } else {
      // The first slot is a table entry, the later ones branches of tree nodes.
      const unsigned entry = (k & 0xFFFFu) >> shift;
      std::uint16_t *slot = nullptr;
      auto get = [&] { return slot ? static_cast<unsigned>(*slot) : table.Get(entry); };
      auto set = [&](unsigned v) {
        if (slot) {
          *slot = static_cast<std::uint16_t>(v);
        } else {
          table.Set(entry, v);
        }
      };
      for (int steps = len - table_bits; steps > 0; --steps) {
        if (get() == 0) {
          if (next_node >= static_cast<unsigned>(kNodeCount)) return false;
          tables.left[next_node] = tables.right[next_node] = 0;
          set(next_node++);
        }
        const unsigned node = get();
        if (node >= static_cast<unsigned>(kNodeCount)) return false;
        slot = (k & branch_mask) ? &tables.right[node] : &tables.left[node];
        k <<= 1;
      }
      set(static_cast<unsigned>(ch));
    }
    start[len] = static_cast<std::uint16_t>(next);
  }
  return true;
}

}  // namespace

bool BuildDecodeTable(int symbol_count, const std::uint8_t *lengths, int table_bits,
                      std::uint16_t *table, HuffmanTables &tables) {
  CodeCounts counts;
  return CountLengths(symbol_count, lengths, counts) &&
         Build(symbol_count, lengths, counts, table_bits, PlainTable{table}, tables);
}

bool BuildSymbolTable(HuffmanTables &tables, const CodeCounts &counts) {
  return Build(kSymbolCount, tables.symbol_lengths, counts, kSymbolTableBits,
               SymbolTable{tables.symbol_lookup, tables.symbol_lengths}, tables);
}

}  // namespace arj
