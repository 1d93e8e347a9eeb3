// Length-limited Huffman codes in the canonical form the decoder rebuilds from the code
// lengths alone: shorter codes first, and among codes of one length the lower symbol first.
#pragma once
#include <cstdint>

namespace arjenc {

// Sets lengths[0..n) for the symbols' counts, none longer than max_length, forming a
// complete code when two or more symbols occur. Symbols that do not occur get 0, and so
// does the only one when just one occurs (the block head then names it instead). With
// codes, also sets the canonical code of each symbol that gets a length (0 for the rest).
// Returns how many symbols occur. n is at most 510; counts are below 2^23 (a block's are
// at most 65535).
unsigned BuildCodeLengths(const std::uint32_t *counts, unsigned n, unsigned max_length,
                          std::uint8_t *lengths, std::uint16_t *codes = nullptr);

// The canonical code of each symbol from lengths the caller chose (at most 16 bits).
void AssignCodes(const std::uint8_t *lengths, unsigned n, std::uint16_t *codes);

}  // namespace arjenc
