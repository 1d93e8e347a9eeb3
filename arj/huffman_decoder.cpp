#include "arj/huffman_decoder.h"

#include <cstring>

#include "arj/cpu_features.h"
#include "arj/result.h"

namespace arj {
namespace {

constexpr unsigned kMaxPosition = SlidingWindow::kHistory - 1;

// Bits one step may take at most: a symbol's code, a position's code and its extra bits,
// and the run length after a code-length code of a block head.
constexpr unsigned kMaxCodeBits = 16;
constexpr unsigned kMaxExtraBits = 15;
constexpr unsigned kMaxRunBits = 9;

// A tree walk tests the bits of the 16-bit window below the table's index bits, then (for a
// tree that does not end there, which only damaged data builds) takes left branches. Node
// numbers only grow along a well-formed path; the step limit keeps any other tree finite.
__attribute__((noinline)) int WalkTree(const HuffmanTables &t, unsigned j, unsigned alphabet,
                                       unsigned window, unsigned mask) {
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

  // Reads the code lengths of one block head and rebuilds the tables. kOk or kBadCodeData.
  __attribute__((noinline)) int Read() {
    if (!ReadSmallLengths(kLengthCodeCount, 3)) return kBadCodeData;
    if (!ReadSymbolLengths()) return kBadCodeData;
    if (!ReadSmallLengths(kPositionCount, -1)) return kBadCodeData;
    DeriveLookups();
    return kOk;
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
    // The reader's state in a local, as for the symbol lengths below.
    BitState s = in_.state;
    int i = 0;
    while (i < n) {
      s = in_.Refill(s);
      unsigned c = PeekBits(s, 3);
      if (c == 7) {
        // A unary run of 1-bits after the three, up to the first 0-bit.
        const unsigned rest = PeekBits(s, 16) & 0x1FFFu;
        for (unsigned mask = 1u << 12; mask != 0 && (rest & mask); mask >>= 1) ++c;
      }
      SkipBits(s, c < 7 ? 3 : c - 3);
      if (c > 16) return false;
      t_.small_lengths[i++] = static_cast<std::uint8_t>(c);
      if (i == special) {
        s = in_.Refill(s);
        for (unsigned k = PeekBits(s, 2); k > 0; --k) t_.small_lengths[i++] = 0;
        SkipBits(s, 2);
      }
    }
    in_.state = s;
    while (i < alphabet) t_.small_lengths[i++] = 0;
    return BuildDecodeTable(alphabet, t_.small_lengths, kSmallTableBits, t_.small_table, t_);
  }

  bool ReadSymbolLengths() {
    const int n = static_cast<int>(in_.Take(9));
    if (n == 0) {
      const unsigned v = in_.Take(9);
      if (v >= static_cast<unsigned>(kSymbolCount)) return false;
      for (auto &l : t_.symbol_lengths) l = 0;
      for (auto &e : t_.symbol_lookup) e = PackSymbolEntry(v, 0);
      return true;
    }
    if (n > kSymbolCount) return false;
    // Up to 510 length codes per block head: the reader's state is kept in a local here.
    BitState s = in_.state;
    int i = 0;
    bool any_code = false;
    // Counted here, off the reading's critical path, rather than in a pass of their own.
    CodeCounts counts = {};
    while (i < n) {
      s = in_.Refill(s);
      const unsigned window = PeekBits(s, 16);
      int c = t_.small_table[window >> 8];
      if (c >= kLengthCodeCount) {
        c = WalkTree(t_, static_cast<unsigned>(c), kLengthCodeCount, window, 0x80);
        if (c < 0) return false;
      }
      SkipBits(s, t_.small_lengths[c]);
      if (c >= 3) {
        t_.symbol_lengths[i++] = static_cast<std::uint8_t>(c - 2);
        ++counts.of_length[c - 2];
        any_code = true;
        continue;
      }
      int run = 1;
      if (kRefillBits < kMaxCodeBits + kMaxRunBits) s = in_.Refill(s);
      if (c == 1) {
        run = static_cast<int>(PeekBits(s, 4)) + 3;
        SkipBits(s, 4);
      } else if (c == 2) {
        run = static_cast<int>(PeekBits(s, 9)) + 20;
        SkipBits(s, 9);
      }
      if (i + run > kSymbolCount) return false;
      std::memset(t_.symbol_lengths + i, 0, static_cast<std::size_t>(run));
      i += run;
    }
    in_.state = s;
    std::memset(t_.symbol_lengths + i, 0, static_cast<std::size_t>(kSymbolCount - i));
    if (!BuildSymbolTable(t_, counts)) return false;
    if (!any_code) {
      // Without codes the table keeps its entries, whose symbols now take the bits of the
      // new lengths: none. (With any code, every entry was written by this build.)
      for (auto &e : t_.symbol_lookup) {
        if (!SymbolEntryLeadsToTree(e)) e = SymbolEntry(SymbolEntryValue(e), t_.symbol_lengths);
      }
    }
    return true;
  }

  void DeriveLookups() {
    for (unsigned i = 0; i < (1u << kSmallTableBits); ++i) {
      const unsigned v = t_.small_table[i];
      if (v >= static_cast<unsigned>(kPositionCount) || t_.small_lengths[v] > kSmallTableBits) {
        t_.position_lookup[i] = FieldCode{HuffmanTables::kNeedsWalk, 0};
        continue;
      }
      // Class v: positions 2^(v-1) + (v-1) extra bits; class 0 is position 0.
      const std::uint32_t extra = v ? v - 1 : 0;
      const std::uint32_t first = v ? 1u << (v - 1) : 0;
      // The code is the entry's top bits; read with the extra bits as one number it is
      // code << extra more than the extra bits.
      const unsigned code_bits = t_.small_lengths[v];
      const std::uint32_t code = i >> (kSmallTableBits - code_bits);
      t_.position_lookup[i] = FieldCode{code_bits + extra, first - (code << extra)};
    }
  }

  HuffmanTables &t_;
  BitInput &in_;
};

// What one step (a symbol with its position, or a run of literals from one refill) writes
// and reads at most.
constexpr std::size_t kMaxStepOutput = 256;
constexpr std::size_t kMaxStepInput = 8;
static_assert(kMaxCodeBits + kMaxCodeBits + kMaxExtraBits <= 8 * kMaxStepInput &&
                  kWordBits <= 8 * kMaxStepInput,
              "a step reads at most kMaxStepInput bytes");

// One step, counted against round (a run of literals counts each). The careful form looks
// at the buffer's end on every refill; the fast form runs only for steps ReserveSteps
// counted. False on bad code data. Every step starts and ends with at least the symbol
// table's bits loaded, so a step looks its symbol up before its refill (which only adds
// bits below those loaded) rather than after it.
template <bool kCareful>
__attribute__((always_inline)) inline bool Step(const HuffmanTables *const t, BitInput &input,
                                                BitState &s, std::uint8_t *&out,
                                                std::uint32_t &round) {
  auto refill = [&] { s = kCareful ? input.Refill(s) : BitInput::RefillWord(s); };
  --round;
  std::uint32_t e = t->symbol_lookup[PeekBits(s, kSymbolTableBits)];
  refill();
  unsigned sym;
  if (!SymbolEntryLeadsToTree(e)) {
    // Runs of literals: more codes while the bits at hand surely hold one (a table entry's
    // code fits the table's bits). A match met that way is decoded from the entry already
    // looked up, as part of this step, when the round has room for it.
    while (SymbolEntryIsLiteral(e)) {
      SkipBits(s, SymbolEntryBits(e));
      *out++ = static_cast<std::uint8_t>(SymbolEntryValue(e));
      if (s.count < kSymbolTableBits) {
        refill();
        return true;
      }
      if (round == 0) return true;
      e = t->symbol_lookup[PeekBits(s, kSymbolTableBits)];
      if (SymbolEntryLeadsToTree(e)) return true;
      --round;
      if (!SymbolEntryIsLiteral(e)) {
        // The match's code is at hand, its position's code perhaps not.
        SkipBits(s, SymbolEntryBits(e));
        refill();
        sym = SymbolEntryValue(e);
        goto position;
      }
    }
    sym = SymbolEntryValue(e);
    SkipBits(s, SymbolEntryBits(e));
  } else {
    const unsigned w16 = PeekBits(s, 16);
    const int j =
        WalkTree(*t, SymbolEntryValue(t->symbol_lookup[w16 >> 4]), kSymbolCount, w16, 0x8);
    if (j < 0) return false;
    sym = static_cast<unsigned>(j);
    SkipBits(s, t->symbol_lengths[sym]);
    if (sym < 256) {
      *out++ = static_cast<std::uint8_t>(sym);
      refill();
      return true;
    }
  }
  // With a 64-bit word the refill above covers the symbol and its position too.
  if (kRefillBits < kMaxCodeBits + kMaxCodeBits + kMaxExtraBits) refill();
position:
  const std::size_t length = sym - 253;
  unsigned position;
  const FieldCode &pe = t->position_lookup[PeekBits(s, kSmallTableBits)];
  if (pe.bits != HuffmanTables::kNeedsWalk) {
    // One lookup gives the code's and the extra bits' width and the class's first position.
    static_assert(kSmallTableBits + kMaxExtraBits <= kRefillBits, "one refill per position");
    position = TakeCode(s, pe);
    // With a 64-bit word the bits left after the symbol and this position hold the next
    // step's symbol.
    if (kRefillBits < kMaxCodeBits + kSmallTableBits + kMaxExtraBits + kSymbolTableBits) refill();
  } else {
    const unsigned w16 = PeekBits(s, 16);
    const int j = WalkTree(*t, t->small_table[w16 >> 8], kPositionCount, w16, 0x80);
    if (j < 0) return false;
    const unsigned cls = static_cast<unsigned>(j);
    SkipBits(s, t->small_lengths[cls]);
    if (kRefillBits < kMaxCodeBits + kMaxExtraBits) refill();
    position = 0;
    if (cls != 0) {
      position = (1u << (cls - 1)) + (cls > 1 ? PeekBits(s, cls - 1) : 0u);
      SkipBits(s, cls - 1);
    }
    refill();
  }
  // Positions beyond the window's history cannot come from a valid stream.
  if (position > kMaxPosition) return false;
  CopyMatch(out, position + 1, length);
  out += length;
  return true;
}

// Runs round steps of one form; false on bad code data. Its own function, inlined only into
// the loop forms' entry points below, so that the reader's state, the output pointer and the
// count stay in registers: nothing of the block loop around it is live here.
template <bool kCareful>
__attribute__((always_inline)) inline bool StepsBody(const HuffmanTables *const t, BitInput &input,
                                                     BitState &state, std::uint8_t *&out_ref,
                                                     std::uint32_t round) {
  // Each step starts with the symbol table's bits loaded.
  BitState s = kCareful ? input.Refill(state) : BitInput::RefillWord(state);
  std::uint8_t *out = out_ref;
  bool ok = true;
  while (ok && round != 0) ok = Step<kCareful>(t, input, s, out, round);
  state = s;
  out_ref = out;
  return ok;
}

using StepsFn = bool (*)(const HuffmanTables *, BitInput &, BitState &, std::uint8_t *&,
                         std::uint32_t);

// Decodes symbols while pos < stop, with Fast running the steps that ReserveSteps counted.
template <StepsFn Fast>
__attribute__((always_inline)) inline int DecodeRunBody(HuffmanTables &tables, BitInput &input,
                                                        std::uint32_t &block_left,
                                                        std::uint8_t *const base,
                                                        std::size_t &pos_ref,
                                                        const std::size_t stop) {
  const HuffmanTables *const t = &tables;
  BitState s = input.state;
  std::uint32_t left = block_left;
  std::uint8_t *out = base + pos_ref;
  std::uint8_t *const out_stop = base + stop;
  int rc = 0;

  while (out < out_stop) {
    if (left == 0) {
      input.state = s;
      const std::uint32_t head = input.Take(16);
      rc = BlockHeadReader(tables, input).Read();
      s = input.state;
      if (rc != 0) break;
      left = head == 0 ? 0x10000u : head;  // a count of 0 means 65536 symbols
    }
    // Steps that can neither pass the output's end nor the buffer's take the fast form;
    // the last ones before the output's end go one at a time (the loop's own test covers
    // the one).
    const std::size_t by_output = static_cast<std::size_t>(out_stop - out) / kMaxStepOutput;
    const bool careful = by_output == 0;
    std::size_t steps = careful ? 1 : by_output;
    if (!careful) {
      const std::size_t by_input = input.ReserveSteps(s, kMaxStepInput);
      if (by_input < steps) steps = by_input;
    }
    const std::uint32_t round = steps < left ? static_cast<std::uint32_t>(steps) : left;
    left -= round;
    const bool ok =
        careful ? StepsBody<true>(t, input, s, out, round) : Fast(t, input, s, out, round);
    if (!ok) {
      rc = kBadCodeData;
      break;
    }
  }
  input.state = s;
  block_left = left;
  pos_ref = static_cast<std::size_t>(out - base);
  return rc;
}

// Each loop form: its fast steps, out of line so that they keep their state in registers,
// and the block loop around them.
#define KX_HUFFMAN_LOOP_FORM(Suffix, target)                                                       \
  target __attribute__((noinline)) bool FastSteps##Suffix(const HuffmanTables *t, BitInput &input, \
                                                          BitState &s, std::uint8_t *&out,         \
                                                          std::uint32_t round) {                   \
    return StepsBody<false>(t, input, s, out, round);                                              \
  }                                                                                                \
  target int DecodeRun##Suffix(HuffmanTables &tables, BitInput &input, std::uint32_t &block_left,  \
                               std::uint8_t *base, std::size_t &pos, std::size_t stop) {           \
    return DecodeRunBody<FastSteps##Suffix>(tables, input, block_left, base, pos, stop);           \
  }

KX_HUFFMAN_LOOP_FORM(Baseline, )
#ifdef KX_SSE2_LOOPS
KX_HUFFMAN_LOOP_FORM(Sse2, KX_TARGET_SSE2)
#endif
#ifdef KX_BMI2_LOOPS
KX_HUFFMAN_LOOP_FORM(Bmi2, KX_TARGET_BMI2)
#endif

}  // namespace

int UnpackHuffman(HuffmanTables &tables, BitInput &input, SlidingWindow &window,
                  MemberOutput &output, std::int32_t unpacked_size) {
  static constexpr LoopFormEntries<decltype(&DecodeRunBaseline)> kEntries = {
      DecodeRunBaseline, KX_SSE2_ENTRY(DecodeRunSse2), KX_BMI2_ENTRY(DecodeRunBmi2)};
  const auto decode_run = kEntries.Chosen();
  std::uint32_t block_left = 0;
  return window.Run(output, unpacked_size,
                    [&](std::uint8_t *base, std::size_t &pos, std::size_t stop) {
                      return decode_run(tables, input, block_left, base, pos, stop);
                    });
}

}  // namespace arj
