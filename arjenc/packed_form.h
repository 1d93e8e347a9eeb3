// The packed form both packers write, as the engine in arj/ reads it: LZ77 over a
// 26624-byte window, matches of 3 to 256 bytes.
#pragma once
#include <cstdint>

#include "arj/format/fast_code.h"
#include "arj/huffman_decoder.h"
#include "arj/sliding_window.h"

namespace arjenc {

constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 256;
// A match reaches back at most the window's history (a position is the distance minus 1).
constexpr unsigned kMaxDistance = arj::SlidingWindow::kHistory;

// Method 1: 256 literals, then match lengths 3 to 256 as symbols 256 to 509.
constexpr unsigned kSymbolCount = arj::kSymbolCount;
constexpr unsigned kLengthSymbolBase = 253;  // symbol = length + 253
constexpr unsigned kLengthCodeCount = arj::kLengthCodeCount;
constexpr unsigned kPositionClassCount = arj::kPositionCount;
constexpr unsigned kMaxCodeLength = 16;
// A block head counts its symbols in 16 bits; 0 would mean 65536, which no block uses.
constexpr unsigned kMaxBlockSymbols = 0xFFFF;

// Method 4 reaches back less: its position code ends below this.
using arj::kFastMaxDistance;

// The position class of a match position (distance - 1): 0 for 0, else its bit length;
// class c > 1 carries c - 1 extra bits below its leading 1.
inline unsigned PositionClass(unsigned position) {
  return position == 0 ? 0u : 32u - static_cast<unsigned>(__builtin_clz(position));
}

}  // namespace arjenc
