// One parsed item: a literal byte, or a match as its length symbol and position.
#pragma once
#include <cstdint>

#include "arjenc/packed_form.h"

namespace arjenc {

// symbol | position << 16, where symbol is the byte (0 to 255) or the match length + 253
// (256 to 509) and position is the match distance - 1.
using Token = std::uint32_t;

inline Token LiteralToken(std::uint8_t byte) { return byte; }
inline Token MatchToken(unsigned length, unsigned distance) {
  return (length + kLengthSymbolBase) | (distance - 1) << 16;
}
inline unsigned TokenSymbol(Token t) { return t & 0xFFFFu; }
inline bool IsMatch(Token t) { return TokenSymbol(t) >= 256; }
inline unsigned TokenLength(Token t) { return TokenSymbol(t) - kLengthSymbolBase; }
inline unsigned TokenPosition(Token t) { return t >> 16; }

}  // namespace arjenc
