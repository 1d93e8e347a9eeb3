#include "arj/huffman_decoder.h"

namespace arj {

bool BuildDecodeTable(int symbol_count, const std::uint8_t *lengths, int table_bits,
                      std::uint16_t *table, HuffmanTables &tables) {
  unsigned count[17] = {};
  for (int i = 0; i < symbol_count; ++i) {
    if (lengths[i] > 16) return false;
    ++count[lengths[i]];
  }
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
    for (unsigned i = first_long; i < table_size; ++i) table[i] = 0;
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
      for (unsigned i = k; i < next; ++i) table[i] = static_cast<std::uint16_t>(ch);
    } else {
      std::uint16_t *slot = &table[(k & 0xFFFFu) >> shift];
      for (int steps = len - table_bits; steps > 0; --steps) {
        if (*slot == 0) {
          if (next_node >= static_cast<unsigned>(kNodeCount)) return false;
          tables.left[next_node] = tables.right[next_node] = 0;
          *slot = static_cast<std::uint16_t>(next_node++);
        }
        const unsigned node = *slot;
        if (node >= static_cast<unsigned>(kNodeCount)) return false;
        slot = (k & branch_mask) ? &tables.right[node] : &tables.left[node];
        k <<= 1;
      }
      *slot = static_cast<std::uint16_t>(ch);
    }
    start[len] = static_cast<std::uint16_t>(next);
  }
  return true;
}

}  // namespace arj
