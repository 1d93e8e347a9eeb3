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

}  // namespace

int UnpackHuffman(HuffmanTables &tables, BitInput &input, SlidingWindow &window,
                  MemberOutput &output, std::int32_t unpacked_size) {
  std::uint32_t block_left = 0;
  auto step = [&](std::uint8_t *base, std::size_t &pos_ref, std::size_t stop) -> int {
    const std::uint32_t *symbol_lookup = tables.symbol_lookup;
    const std::uint32_t *position_lookup = tables.position_lookup;
    BitState s = input.state;
    std::size_t pos = pos_ref;
    int rc = 0;
    while (pos < stop) {
      if (block_left == 0) {
        input.state = s;
        const std::uint32_t head = input.Take(16);
        rc = BlockHeadReader(tables, input).Read();
        s = input.state;
        if (rc != 0) break;
        block_left = head == 0 ? 0x10000u : head;  // a count of 0 means 65536 symbols
      }
      --block_left;
      s = input.Refill(s);
      unsigned sym;
      const std::uint32_t e = symbol_lookup[PeekBits(s, kSymbolTableBits)];
      if (!(e & HuffmanTables::kNeedsWalk)) {
        sym = e & 0xFFFFu;
        SkipBits(s, e >> 16);
      } else {
        const unsigned w16 = PeekBits(s, 16);
        const int j = WalkTree(tables, tables.symbol_table[w16 >> 4], kSymbolCount, w16, 0x8);
        if (j < 0) {
          rc = kBadData;
          break;
        }
        sym = static_cast<unsigned>(j);
        SkipBits(s, tables.symbol_lengths[sym]);
      }
      if (sym < 256) {
        base[pos++] = static_cast<std::uint8_t>(sym);
        continue;
      }
      const std::size_t length = sym - 253;
      unsigned cls;
      const std::uint32_t pe = position_lookup[PeekBits(s, kSmallTableBits)];
      if (!(pe & HuffmanTables::kNeedsWalk)) {
        cls = pe & 0xFFu;
        SkipBits(s, pe >> 8);
      } else {
        const unsigned w16 = PeekBits(s, 16);
        const int j = WalkTree(tables, tables.small_table[w16 >> 8], kPositionCount, w16, 0x80);
        if (j < 0) {
          rc = kBadData;
          break;
        }
        cls = static_cast<unsigned>(j);
        SkipBits(s, tables.small_lengths[cls]);
      }
      unsigned position = 0;
      if (cls != 0) {
        position = (1u << (cls - 1)) + PeekBits(s, cls - 1);
        SkipBits(s, cls - 1);
      }
      // Positions beyond the window's history cannot come from a valid stream.
      if (position > kMaxPosition) {
        rc = kBadData;
        break;
      }
      CopyMatch(base + pos, position + 1, length);
      pos += length;
    }
    input.state = s;
    pos_ref = pos;
    return rc;
  };
  return window.Run(output, unpacked_size, step);
}

}  // namespace arj
