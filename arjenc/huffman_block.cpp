#include "arjenc/huffman_block.h"

#include <cstring>

#include "arjenc/huffman_code.h"

namespace arjenc {
namespace {

// Length codes of the symbol lengths: 0 one zero, 1 a run of 3 to 18 zeros (4 bits more),
// 2 a run of 20 to 531 zeros (9 bits more), c of 3 or more a length of c - 2.
constexpr unsigned kOneZero = 0;
constexpr unsigned kShortZeroRun = 1;
constexpr unsigned kLongZeroRun = 2;
constexpr unsigned kShortRunBits = 4;  // the extra bits of each kind of run
constexpr unsigned kLongRunBits = 9;
// The length-code table's lengths are followed, after the third, by a 2-bit count of zeros.
constexpr unsigned kLengthCodeSkipAt = 3;
constexpr unsigned kNoSkip = ~0u;

// Bounds for reserving room ahead: a token is a symbol and, for a match, a class and its
// extra bits; a head is its count, three tables of 5-bit sizes and 19-bit lengths at most,
// and one length code (at most 16 bits and 9 more) per symbol.
static_assert(kMaxCodeLength <= BitWriter::kMaxShortBits, "codes are put as short values");
constexpr std::size_t kMaxTokenBits = 2 * kMaxCodeLength + kPositionClassCount;
// A length code and a run's extra bits between two flushes.
constexpr bool kItemFitsOneFlush = kMaxCodeLength + kLongRunBits <= BitWriter::kBitsBetweenFlushes;
// A match's symbol, class and extra bits (at most a class less one) between two flushes.
constexpr bool kTokenFitsOneFlush =
    2 * kMaxCodeLength + kPositionClassCount - 2 <= BitWriter::kBitsBetweenFlushes;
constexpr std::size_t kMaxHeadBits =
    16 + 3 * (5 + 19 * (kLengthCodeCount + kPositionClassCount) + 9) + kSymbolCount * 25;

struct LengthItem {
  std::uint8_t code;
  std::uint8_t extra_bits;
  std::uint16_t extra;
};

// How many of lengths[from..n) are zero before the first that is not: most lengths of
// match symbols are, so they are looked at four at a time.
unsigned ZeroRun(const std::uint8_t *lengths, unsigned from, unsigned n) {
  unsigned i = from;
  std::uint32_t word;
  while (i + sizeof word <= n && (std::memcpy(&word, lengths + i, sizeof word), word == 0)) {
    i += sizeof word;
  }
  while (i < n && lengths[i] == 0) ++i;
  return i - from;
}

// The symbol lengths as length codes, up to the last symbol that occurs. Returns how many
// items; sets *n_out to the count of lengths they cover.
unsigned LengthItems(const std::uint8_t *lengths, LengthItem *items, unsigned *n_out) {
  unsigned n = kSymbolCount;
  std::uint32_t word;
  while (n >= sizeof word &&
         (std::memcpy(&word, lengths + n - sizeof word, sizeof word), word == 0)) {
    n -= sizeof word;
  }
  while (n > 0 && lengths[n - 1] == 0) --n;
  *n_out = n;
  unsigned count = 0;
  for (unsigned i = 0; i < n;) {
    if (lengths[i] != 0) {
      items[count++] = LengthItem{static_cast<std::uint8_t>(lengths[i] + kLengthCodeBase), 0, 0};
      ++i;
      continue;
    }
    const unsigned run = ZeroRun(lengths, i, n);
    i += run;
    if (run <= 2) {
      for (unsigned k = 0; k < run; ++k) items[count++] = LengthItem{kOneZero, 0, 0};
    } else if (run <= 18) {
      items[count++] =
          LengthItem{kShortZeroRun, kShortRunBits, static_cast<std::uint16_t>(run - 3)};
    } else if (run == 19) {
      items[count++] = LengthItem{kOneZero, 0, 0};
      items[count++] = LengthItem{kShortZeroRun, kShortRunBits, 15};
    } else {
      items[count++] = LengthItem{kLongZeroRun, kLongRunBits, static_cast<std::uint16_t>(run - 20)};
    }
  }
  return count;
}

}  // namespace

// 3 bits below 7, else 3 ones, c - 7 more ones and a 0-bit.
unsigned SmallLengthBits(unsigned c) { return c < 7 ? 3 : c - 3; }

// As LengthItems writes the run.
unsigned ZeroRunBits(unsigned run, const unsigned *code_bits) {
  if (run <= 2) return run * code_bits[kOneZero];
  if (run <= 18) return code_bits[kShortZeroRun] + kShortRunBits;
  if (run == 19) return code_bits[kOneZero] + code_bits[kShortZeroRun] + kShortRunBits;
  return code_bits[kLongZeroRun] + kLongRunBits;
}

namespace {

void PutSmallLength(unsigned c, BitWriter &out) {
  if (c < 7) {
    out.Put(c, 3);
  } else {
    out.Put(((1u << (c - 4)) - 1) << 1, c - 3);
  }
}

// The lengths of a small alphabet (length codes or position classes) up to its last used
// symbol; a code of one symbol (or none) names it in 5 bits instead.
std::size_t SmallTableBits(const std::uint8_t *lengths, unsigned alphabet, unsigned skip_at,
                           unsigned used) {
  if (used < 2) return 10;
  unsigned n = alphabet;
  while (n > 0 && lengths[n - 1] == 0) --n;
  std::size_t bits = 5;
  for (unsigned i = 0; i < n;) {
    bits += SmallLengthBits(lengths[i++]);
    if (i == skip_at) {
      unsigned k = 0;
      while (k < 3 && i + k < n && lengths[i + k] == 0) ++k;
      bits += 2;
      i += k;
    }
  }
  return bits;
}

void WriteSmallTable(const std::uint8_t *lengths, unsigned alphabet, unsigned skip_at,
                     unsigned used, unsigned only, BitWriter &out) {
  if (used < 2) {
    out.Put(0, 5);
    out.Put(only, 5);
    return;
  }
  unsigned n = alphabet;
  while (n > 0 && lengths[n - 1] == 0) --n;
  out.Put(n, 5);
  for (unsigned i = 0; i < n;) {
    PutSmallLength(lengths[i++], out);
    if (i == skip_at) {
      unsigned k = 0;
      while (k < 3 && i + k < n && lengths[i + k] == 0) ++k;
      out.Put(k, 2);
      i += k;
    }
  }
}

// The length-code table for the block's symbol lengths.
struct LengthCodeTable {
  LengthItem items[kSymbolCount];
  unsigned item_count = 0;
  unsigned covered = 0;
  std::uint32_t counts[kLengthCodeCount] = {};
  std::uint8_t lengths[kLengthCodeCount];
  std::uint16_t codes[kLengthCodeCount];
  unsigned used = 0;
  unsigned only = 0;

  explicit LengthCodeTable(const std::uint8_t *symbol_lengths) {
    item_count = LengthItems(symbol_lengths, items, &covered);
    for (unsigned i = 0; i < item_count; ++i) ++counts[items[i].code];
    used = BuildCodeLengths(counts, kLengthCodeCount, kMaxCodeLength, lengths, codes);
    for (unsigned i = 0; i < kLengthCodeCount; ++i) {
      if (counts[i]) only = i;
    }
  }

  std::size_t Bits() const {
    std::size_t bits = SmallTableBits(lengths, kLengthCodeCount, kLengthCodeSkipAt, used) + 9;
    for (unsigned i = 0; i < item_count; ++i) bits += lengths[items[i].code] + items[i].extra_bits;
    return bits;
  }
};

std::size_t HeadBits(const BlockCodes &codes) {
  std::size_t bits = 16;
  if (codes.symbol_used < 2) {
    bits += 10 + 18;
  } else {
    bits += LengthCodeTable(codes.symbol_lengths).Bits();
  }
  return bits + SmallTableBits(codes.class_lengths, kPositionClassCount, kNoSkip, codes.class_used);
}

void WriteHead(std::size_t n, const BlockCodes &codes, BitWriter &out) {
  out.Put(static_cast<std::uint32_t>(n), 16);
  if (codes.symbol_used < 2) {
    // One symbol: an empty length-code table, then the symbol named in 9 bits.
    out.Put(0, 5);
    out.Put(0, 5);
    out.Put(0, 9);
    out.Put(codes.only_symbol, 9);
  } else {
    const LengthCodeTable table(codes.symbol_lengths);
    WriteSmallTable(table.lengths, kLengthCodeCount, kLengthCodeSkipAt, table.used, table.only,
                    out);
    out.Put(table.covered, 9);
    for (unsigned i = 0; i < table.item_count; ++i) {
      const LengthItem &item = table.items[i];
      out.Add(table.codes[item.code], table.lengths[item.code]);
      if (item.extra_bits) {
        if constexpr (!kItemFitsOneFlush) out.Flush();
        out.Add(item.extra, item.extra_bits);
      }
      out.Flush();
    }
  }
  WriteSmallTable(codes.class_lengths, kPositionClassCount, kNoSkip, codes.class_used,
                  codes.only_class, out);
}

// The last symbol with a count, 0 when there is none.
unsigned LastUsed(const std::uint32_t *counts, unsigned n) {
  while (n > 0 && counts[n - 1] == 0) --n;
  return n > 0 ? n - 1 : 0;
}

}  // namespace

void BlockCounts::Clear() {
  std::memset(symbols, 0, sizeof symbols);
  std::memset(classes, 0, sizeof classes);
}

void BlockCounts::Add(const Token *tokens, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const Token t = tokens[i];
    ++symbols[TokenSymbol(t)];
    if (IsMatch(t)) ++classes[PositionClass(TokenPosition(t))];
  }
}

BlockCodes::BlockCodes(const BlockCounts &counts) {
  symbol_used =
      BuildCodeLengths(counts.symbols, kSymbolCount, kMaxCodeLength, symbol_lengths, symbol_codes);
  class_used = BuildCodeLengths(counts.classes, kPositionClassCount, kMaxCodeLength, class_lengths,
                                class_codes);
  only_symbol = symbol_used < 2 ? LastUsed(counts.symbols, kSymbolCount) : 0;
  only_class = class_used < 2 ? LastUsed(counts.classes, kPositionClassCount) : 0;
}

void BlockCodes::LengthsChanged() {
  if (symbol_used >= 2) {
    symbol_used = 0;
    for (unsigned i = 0; i < kSymbolCount; ++i) symbol_used += symbol_lengths[i] != 0;
  }
  if (class_used >= 2) {
    class_used = 0;
    for (unsigned c = 0; c < kPositionClassCount; ++c) class_used += class_lengths[c] != 0;
  }
  AssignCodes(symbol_lengths, kSymbolCount, symbol_codes);
  AssignCodes(class_lengths, kPositionClassCount, class_codes);
}

void LengthCodeLengths(const std::uint8_t *symbol_lengths, std::uint8_t *lengths) {
  const LengthCodeTable table(symbol_lengths);
  std::memcpy(lengths, table.lengths, sizeof table.lengths);
}

std::size_t BlockBits(const BlockCounts &counts, const BlockCodes &codes) {
  std::size_t bits = HeadBits(codes);
  for (unsigned i = 0; i < kSymbolCount; ++i) {
    bits += static_cast<std::size_t>(counts.symbols[i]) * codes.symbol_lengths[i];
  }
  for (unsigned c = 0; c < kPositionClassCount; ++c) {
    bits += static_cast<std::size_t>(counts.classes[c]) *
            (codes.class_lengths[c] + (c > 1 ? c - 1 : 0));
  }
  return bits;
}

void WriteBlock(const Token *tokens, std::size_t n, const BlockCodes &codes, BitWriter &out) {
  out.Reserve(kMaxHeadBits + n * kMaxTokenBits);
  BitWriter w = out;  // a local copy: see bit_writer.h
  WriteHead(n, codes, w);
  const std::uint8_t *const sym_len = codes.symbol_lengths;
  const std::uint16_t *const sym_code = codes.symbol_codes;
  for (std::size_t i = 0; i < n; ++i) {
    const Token t = tokens[i];
    const unsigned s = TokenSymbol(t);
    w.Add(sym_code[s], sym_len[s]);
    if (s >= 256) {
      const unsigned p = TokenPosition(t);
      const unsigned c = PositionClass(p);
      // The class's code and the bits below the position's leading 1, in one put; with
      // the symbol's before one store where a word holds both.
      const unsigned extra = c > 1 ? c - 1 : 0;
      const std::uint32_t value =
          static_cast<std::uint32_t>(codes.class_codes[c]) << extra | (p & ((1u << extra) - 1));
      if constexpr (kTokenFitsOneFlush) {
        w.Add(value, codes.class_lengths[c] + extra);
      } else {
        w.Flush();
        w.Put(value, codes.class_lengths[c] + extra);
        continue;
      }
    }
    w.Flush();
  }
  out = w;
}

}  // namespace arjenc
