#include "arj/huffman_decoder.h"

namespace arj {
namespace {

constexpr int kBadData = 102;
constexpr unsigned kMaxPosition = SlidingWindow::kHistory - 1;

// A tree walk tests the bits of the 16-bit window below the table's index bits, then (for a
// tree that does not end there, which only damaged data builds) takes left branches. Node
// numbers only grow along a well-formed path; the step limit keeps any other tree finite.
int WalkTree(const HuffmanTables &t, unsigned j, unsigned alphabet, unsigned window,
             unsigned mask) {
  for (int steps = 0; j >= alphabet; ++steps) {
    if (j >= static_cast<unsigned>(kNodeCount) || steps > kNodeCount) return -1;
    j = (window & mask) ? t.right[j] : t.left[j];
    mask >>= 1;
  }
  return static_cast<int>(j);
}

class BlockHeadReader {
 public:
  BlockHeadReader(HuffmanTables &tables, BitInput &input) : t_(tables), in_(input) {}

  // Reads the code lengths of one block head and rebuilds the tables. 0 or 102.
  int Read() {
    if (!ReadSmallLengths(kLengthCodeCount, 3)) return kBadData;
    if (!ReadSymbolLengths()) return kBadData;
    if (!ReadSmallLengths(kPositionCount, -1)) return kBadData;
    DeriveLookups();
    return 0;
  }

 private:
  bool ReadSmallLengths(int alphabet, int special) {
    const int n = static_cast<int>(in_.Take(5));
    if (n == 0) {
      // A one-symbol code: every lookup gives it and it costs no bits.
      const unsigned v = in_.Take(5);
      if (v >= static_cast<unsigned>(alphabet)) return false;
      for (int i = 0; i < alphabet; ++i) t_.small_lengths[i] = 0;
      for (auto &e : t_.small_table) e = static_cast<std::uint16_t>(v);
      return true;
    }
    if (n > alphabet) return false;
    int i = 0;
    while (i < n) {
      unsigned c = in_.Peek(3);
      if (c == 7) {
        // A unary run of 1-bits after the three, up to the first 0-bit.
        const unsigned rest = in_.Peek(16) & 0x1FFFu;
        for (unsigned mask = 1u << 12; mask != 0 && (rest & mask); mask >>= 1) ++c;
      }
      in_.Skip(c < 7 ? 3 : c - 3);
      if (c > 16) return false;
      t_.small_lengths[i++] = static_cast<std::uint8_t>(c);
      if (i == special) {
        for (unsigned k = in_.Take(2); k > 0; --k) t_.small_lengths[i++] = 0;
      }
    }
    while (i < alphabet) t_.small_lengths[i++] = 0;
    return BuildDecodeTable(alphabet, t_.small_lengths, kSmallTableBits, t_.small_table, t_);
  }

  bool ReadSymbolLengths() {
    const int n = static_cast<int>(in_.Take(9));
    if (n == 0) {
      const unsigned v = in_.Take(9);
      if (v >= static_cast<unsigned>(kSymbolCount)) return false;
      for (auto &l : t_.symbol_lengths) l = 0;
      for (auto &e : t_.symbol_table) e = static_cast<std::uint16_t>(v);
      return true;
    }
    if (n > kSymbolCount) return false;
    int i = 0;
    while (i < n) {
      const unsigned window = in_.Peek(16);
      const int c = WalkTree(t_, t_.small_table[window >> 8], kLengthCodeCount, window, 0x80);
      if (c < 0) return false;
      in_.Skip(t_.small_lengths[c]);
      if (c >= 3) {
        t_.symbol_lengths[i++] = static_cast<std::uint8_t>(c - 2);
        continue;
      }
      const int run = c == 0   ? 1
                      : c == 1 ? static_cast<int>(in_.Take(4)) + 3
                               : static_cast<int>(in_.Take(9)) + 20;
      if (i + run > kSymbolCount) return false;
      for (int k = 0; k < run; ++k) t_.symbol_lengths[i++] = 0;
    }
    while (i < kSymbolCount) t_.symbol_lengths[i++] = 0;
    return BuildDecodeTable(kSymbolCount, t_.symbol_lengths, kSymbolTableBits, t_.symbol_table, t_);
  }

  void DeriveLookups() {
    for (unsigned i = 0; i < (1u << kSymbolTableBits); ++i) {
      const unsigned v = t_.symbol_table[i];
      t_.symbol_lookup[i] = v < static_cast<unsigned>(kSymbolCount)
                                ? v | static_cast<std::uint32_t>(t_.symbol_lengths[v]) << 16
                                : HuffmanTables::kNeedsWalk;
    }
    for (unsigned i = 0; i < (1u << kSmallTableBits); ++i) {
      const unsigned v = t_.small_table[i];
      t_.position_lookup[i] = v < static_cast<unsigned>(kPositionCount)
                                  ? v | static_cast<std::uint32_t>(t_.small_lengths[v]) << 8
                                  : HuffmanTables::kNeedsWalk;
    }
  }

  HuffmanTables &t_;
  BitInput &in_;
};

// Decodes symbols while pos < stop. The reader's state and the block counter are copied
// into plain locals so the compiler keeps them in registers: byte stores to the window
// cannot alias locals whose address is never taken.
int DecodeRun(HuffmanTables &tables, BitInput &input, std::uint32_t &block_left,
              std::uint8_t *const base, std::size_t &pos_ref, const std::size_t stop) {
  const std::uint32_t *const symbol_lookup = tables.symbol_lookup;
  const std::uint32_t *const position_lookup = tables.position_lookup;
  std::uint64_t bits = input.state.bits;
  unsigned count = input.state.count;
  const std::uint8_t *next = input.state.next;
  const std::uint8_t *end = input.state.end;
  std::uint32_t left = block_left;
  std::size_t pos = pos_ref;
  int rc = 0;

#define KX_SAVE() (input.state = BitState{bits, count, next, end})
#define KX_LOAD()              \
  do {                         \
    bits = input.state.bits;   \
    count = input.state.count; \
    next = input.state.next;   \
    end = input.state.end;     \
  } while (0)
#define KX_REFILL()                                                                \
  do {                                                                             \
    if (end - next >= 8) {                                                         \
      bits |= LoadBigEndian64(next) >> count;                                      \
      next += (63 - count) >> 3;                                                   \
      count |= 56;                                                                 \
    } else {                                                                       \
      const BitState t = input.RefillFromSource(BitState{bits, count, next, end}); \
      bits = t.bits;                                                               \
      count = t.count;                                                             \
      next = t.next;                                                               \
      end = t.end;                                                                 \
    }                                                                              \
  } while (0)
#define KX_PEEK(n) static_cast<std::uint32_t>(bits >> (64 - (n)))
#define KX_SKIP(n) \
  do {             \
    bits <<= (n);  \
    count -= (n);  \
  } while (0)

  while (pos < stop) {
    if (left == 0) {
      KX_SAVE();
      const std::uint32_t head = input.Take(16);
      rc = BlockHeadReader(tables, input).Read();
      KX_LOAD();
      if (rc != 0) break;
      left = head == 0 ? 0x10000u : head;  // a count of 0 means 65536 symbols
    }
    --left;
    KX_REFILL();
    unsigned sym;
    std::uint32_t e = symbol_lookup[KX_PEEK(kSymbolTableBits)];
    if (!(e & HuffmanTables::kNeedsWalk)) {
      sym = e & 0xFFFFu;
      KX_SKIP(e >> 16);
      // Runs of literals: a refill leaves at least 56 bits, enough for two more codes.
      if (sym < 256) {
        base[pos++] = static_cast<std::uint8_t>(sym);
        for (int more = 0; more < 2 && left != 0 && pos < stop; ++more) {
          e = symbol_lookup[KX_PEEK(kSymbolTableBits)];
          if (e & (HuffmanTables::kNeedsWalk | 0xFF00u)) break;  // not a plain literal
          KX_SKIP(e >> 16);
          --left;
          base[pos++] = static_cast<std::uint8_t>(e);
        }
        continue;
      }
    } else {
      const unsigned w16 = KX_PEEK(16);
      const int j = WalkTree(tables, tables.symbol_table[w16 >> 4], kSymbolCount, w16, 0x8);
      if (j < 0) {
        rc = kBadData;
        break;
      }
      sym = static_cast<unsigned>(j);
      KX_SKIP(tables.symbol_lengths[sym]);
      if (sym < 256) {
        base[pos++] = static_cast<std::uint8_t>(sym);
        continue;
      }
    }
    const std::size_t length = sym - 253;
    if (count < 32) KX_REFILL();
    unsigned cls;
    const std::uint32_t pe = position_lookup[KX_PEEK(kSmallTableBits)];
    if (!(pe & HuffmanTables::kNeedsWalk)) {
      cls = pe & 0xFFu;
      KX_SKIP(pe >> 8);
    } else {
      const unsigned w16 = KX_PEEK(16);
      const int j = WalkTree(tables, tables.small_table[w16 >> 8], kPositionCount, w16, 0x80);
      if (j < 0) {
        rc = kBadData;
        break;
      }
      cls = static_cast<unsigned>(j);
      KX_SKIP(tables.small_lengths[cls]);
    }
    unsigned position = 0;
    if (cls != 0) {
      position = (1u << (cls - 1)) + (cls > 1 ? KX_PEEK(cls - 1) : 0u);
      KX_SKIP(cls - 1);
    }
    // Positions beyond the window's history cannot come from a valid stream.
    if (position > kMaxPosition) {
      rc = kBadData;
      break;
    }
    CopyMatch(base + pos, position + 1, length);
    pos += length;
  }
  KX_SAVE();
#undef KX_SAVE
#undef KX_LOAD
#undef KX_REFILL
#undef KX_PEEK
#undef KX_SKIP
  block_left = left;
  pos_ref = pos;
  return rc;
}

}  // namespace

int UnpackHuffman(HuffmanTables &tables, BitInput &input, SlidingWindow &window,
                  MemberOutput &output, std::int32_t unpacked_size) {
  std::uint32_t block_left = 0;
  return window.Run(output, unpacked_size,
                    [&](std::uint8_t *base, std::size_t &pos, std::size_t stop) {
                      return DecodeRun(tables, input, block_left, base, pos, stop);
                    });
}

}  // namespace arj
