// The decoders against packed streams written here: a small encoder for methods 1 to 3
// (Huffman block heads from chosen code lengths) and for method 4, a reference model of the
// window, and hand-made streams for the bounds a hostile stream could break.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <queue>
#include <string>
#include <utility>
#include <vector>

#include "arj/arj.h"
#include "arj/cpu_features.h"
#include "arj/result.h"
#include "arj_test_support.h"

namespace arjtest {
namespace {

constexpr std::size_t kWindow = 26624;

// One LZ77 step: a literal (length 0) or a match of length 3..256 at position 0..26623.
struct Op {
  unsigned length;
  unsigned value;  // the literal byte, or the position
};

// What the decoders must produce: positions reaching before the first byte read zeros.
Bytes Reference(const std::vector<Op> &ops) {
  Bytes out;
  for (const Op &op : ops) {
    if (op.length == 0) {
      out.push_back(static_cast<std::uint8_t>(op.value));
      continue;
    }
    for (unsigned k = 0; k < op.length; ++k) {
      const std::size_t back = op.value + 1;
      out.push_back(out.size() >= back ? out[out.size() - back] : 0);
    }
  }
  return out;
}

// Deterministic mix of literals and matches, some reaching far back and across the window.
std::vector<Op> RandomOps(std::uint32_t seed, std::size_t bytes,
                          unsigned max_position = kWindow - 1) {
  std::vector<Op> ops;
  std::size_t produced = 0;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  while (produced < bytes) {
    const unsigned r = next() % 100;
    if (r < 45 || produced < 4) {
      ops.push_back({0, next() % 7 == 0 ? next() % 256 : 'a' + next() % 8});
      ++produced;
      continue;
    }
    unsigned length = r < 90 ? 3 + next() % 10 : 3 + next() % 254;
    const std::size_t reach = std::min<std::size_t>(produced, kWindow) - 1;
    // Near positions too: the copies change form at distances of 8, 16 and 32.
    unsigned position = r % 3 == 0   ? next() % 8
                        : r % 5 == 1 ? next() % 48
                                     : next() % static_cast<unsigned>(reach + 1);
    if (r == 99) position = max_position;  // into the zeroed history early on
    ops.push_back({length, std::min(position, max_position)});
    produced += length;
  }
  return ops;
}

// Code lengths of a Huffman code for the given weights (all above zero).
std::vector<std::uint8_t> UnlimitedLengths(const std::vector<std::uint32_t> &weights) {
  struct Node {
    std::uint64_t weight;
    int index;
  };
  auto later = [](const Node &a, const Node &b) {
    return a.weight != b.weight ? a.weight > b.weight : a.index > b.index;
  };
  std::priority_queue<Node, std::vector<Node>, decltype(later)> queue(later);
  std::vector<int> parent(weights.size() * 2, -1);
  for (std::size_t i = 0; i < weights.size(); ++i) queue.push({weights[i], static_cast<int>(i)});
  int next = static_cast<int>(weights.size());
  while (queue.size() > 1) {
    const Node a = queue.top();
    queue.pop();
    const Node b = queue.top();
    queue.pop();
    parent[a.index] = parent[b.index] = next;
    queue.push({a.weight + b.weight, next++});
  }
  std::vector<std::uint8_t> lengths(weights.size());
  for (std::size_t i = 0; i < weights.size(); ++i) {
    int depth = 0;
    for (int n = static_cast<int>(i); parent[n] != -1; n = parent[n]) ++depth;
    lengths[i] = static_cast<std::uint8_t>(depth);
  }
  return lengths;
}

// The same, at most 16 bits long: weights are flattened until the code fits.
std::vector<std::uint8_t> HuffmanLengths(std::vector<std::uint32_t> weights) {
  for (;;) {
    const auto lengths = UnlimitedLengths(weights);
    if (*std::max_element(lengths.begin(), lengths.end()) <= 16) return lengths;
    for (auto &w : weights) w = w / 2 + 1;
  }
}

// Canonical codes: shorter codes first, lower symbols first among codes of one length.
std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t> &lengths) {
  std::vector<std::uint32_t> codes(lengths.size());
  std::uint32_t code = 0;
  for (int len = 1; len <= 16; ++len) {
    for (std::size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] == len) codes[s] = code++;
    }
    code <<= 1;
  }
  return codes;
}

void PutCode(BitWriter &w, const std::vector<std::uint8_t> &lengths,
             const std::vector<std::uint32_t> &codes, unsigned symbol) {
  ASSERT_GT(lengths[symbol], 0) << symbol;
  w.Put(codes[symbol], lengths[symbol]);
}

void WriteSmallLengths(BitWriter &w, const std::vector<std::uint8_t> &lengths, int special) {
  int n = static_cast<int>(lengths.size());
  while (n > 0 && lengths[n - 1] == 0) --n;
  w.Put(static_cast<std::uint32_t>(n), 5);
  for (int i = 0; i < n; ++i) {
    const unsigned c = lengths[i];
    if (c < 7) {
      w.Put(c, 3);
    } else {
      w.Put(7, 3);
      for (unsigned k = 7; k < c; ++k) w.Put(1, 1);
      w.Put(0, 1);
    }
    if (i + 1 == special) {
      unsigned zeros = 0;
      while (zeros < 3 && i + 1 + static_cast<int>(zeros) < n && lengths[i + 1 + zeros] == 0) {
        ++zeros;
      }
      w.Put(zeros, 2);
      i += static_cast<int>(zeros);
    }
  }
}

// The length-code symbols (with their extra bits) that describe the symbol lengths.
struct LengthCode {
  unsigned symbol;
  unsigned extra;
  unsigned extra_bits;
};
std::vector<LengthCode> DescribeSymbolLengths(const std::vector<std::uint8_t> &lengths) {
  std::vector<LengthCode> out;
  std::size_t i = 0;
  while (i < lengths.size()) {
    if (lengths[i] != 0) {
      out.push_back({lengths[i] + 2u, 0, 0});
      ++i;
      continue;
    }
    std::size_t run = 0;
    while (i + run < lengths.size() && lengths[i + run] == 0) ++run;
    i += run;
    while (run > 0) {
      if (run >= 20) {
        const std::size_t take = std::min<std::size_t>(run, 531);
        out.push_back({2, static_cast<unsigned>(take - 20), 9});
        run -= take;
      } else if (run >= 3) {
        const std::size_t take = std::min<std::size_t>(run, 18);
        out.push_back({1, static_cast<unsigned>(take - 3), 4});
        run -= take;
      } else {
        out.push_back({0, 0, 0});
        --run;
      }
    }
  }
  return out;
}

unsigned PositionClass(unsigned position) {
  unsigned c = 0;
  while (position >> c) ++c;
  return c;  // 0 for position 0, else floor(log2) + 1
}

// Encodes ops as methods 1 to 3 do, in blocks of at most block_size symbols, each block
// with its own Huffman codes. long_codes counts symbol codes longer than the decoder's
// 12-bit table, which it must find through its tree.
Bytes EncodeHuffman(const std::vector<Op> &ops, std::size_t block_size, std::uint32_t seed,
                    int *long_codes = nullptr) {
  BitWriter w;
  for (std::size_t start = 0; start < ops.size(); start += block_size) {
    const std::size_t end = std::min(ops.size(), start + block_size);
    std::vector<std::uint32_t> symbol_weights(510), position_weights(17);
    for (std::size_t s = 0; s < 510; ++s) symbol_weights[s] = 1 + (seed * (s + 3)) % 5;
    for (auto &pw : position_weights) pw = 1;
    for (std::size_t k = start; k < end; ++k) {
      const Op &op = ops[k];
      symbol_weights[op.length ? op.length + 253 : op.value] += 40;
      if (op.length) position_weights[PositionClass(op.value)] += 40;
    }
    const auto symbol_lengths = HuffmanLengths(symbol_weights);
    const auto position_lengths = HuffmanLengths(position_weights);
    const auto described = DescribeSymbolLengths(symbol_lengths);
    std::vector<std::uint32_t> code_weights(19, 1);
    for (const auto &d : described) code_weights[d.symbol] += 10;
    const auto code_lengths = HuffmanLengths(code_weights);
    for (auto l : symbol_lengths) {
      if (long_codes && l > 12) ++*long_codes;
    }

    const auto symbol_codes = CanonicalCodes(symbol_lengths);
    const auto position_codes = CanonicalCodes(position_lengths);
    const auto length_codes = CanonicalCodes(code_lengths);
    const std::size_t count = end - start;
    w.Put(count == 65536 ? 0 : static_cast<std::uint32_t>(count), 16);
    WriteSmallLengths(w, code_lengths, 3);
    int n = 510;
    while (n > 0 && symbol_lengths[n - 1] == 0) --n;
    w.Put(static_cast<std::uint32_t>(n), 9);
    for (const auto &d : DescribeSymbolLengths(
             std::vector<std::uint8_t>(symbol_lengths.begin(), symbol_lengths.begin() + n))) {
      PutCode(w, code_lengths, length_codes, d.symbol);
      w.Put(d.extra, d.extra_bits);
    }
    WriteSmallLengths(w, position_lengths, -1);
    for (std::size_t k = start; k < end; ++k) {
      const Op &op = ops[k];
      if (op.length == 0) {
        PutCode(w, symbol_lengths, symbol_codes, op.value);
        continue;
      }
      PutCode(w, symbol_lengths, symbol_codes, op.length + 253);
      const unsigned cls = PositionClass(op.value);
      PutCode(w, position_lengths, position_codes, cls);
      if (cls > 1) w.Put(op.value - (1u << (cls - 1)), cls - 1);
    }
  }
  return w.Finish();
}

// Method 4's fixed codes.
Bytes EncodeFast(const std::vector<Op> &ops) {
  BitWriter w;
  for (const Op &op : ops) {
    if (op.length == 0) {
      w.Put(0, 1);
      w.Put(op.value, 8);
      continue;
    }
    const unsigned v = op.length - 2;  // 1..254
    unsigned k = 0;
    while (v >= (2u << k) - 1 && k < 7) ++k;
    for (unsigned i = 0; i < k; ++i) w.Put(1, 1);
    if (k < 7) w.Put(0, 1);
    w.Put(v - ((1u << k) - 1), k);
    unsigned m = 0;
    while (m < 4 && op.value >= 512u * ((2u << m) - 1)) ++m;
    for (unsigned i = 0; i < m; ++i) w.Put(1, 1);
    if (m < 4) w.Put(0, 1);
    w.Put(op.value - 512u * ((1u << m) - 1), 9 + m);
  }
  return w.Finish();
}

// A block head whose three codes each have one symbol: every symbol decodes, without
// spending bits, to symbol, and every position class to position_class.
void SingleSymbolBlock(BitWriter &w, std::uint32_t count, unsigned symbol,
                       unsigned position_class) {
  w.Put(count, 16);
  w.Put(0, 5);
  w.Put(0, 5);
  w.Put(0, 9);
  w.Put(symbol, 9);
  w.Put(0, 5);
  w.Put(position_class, 5);
}

class ArjDecoder : public ::testing::Test {
 protected:
  void SetUp() override { MakeTestScratch("decoder-", &dir_, &archive_, &out_); }
  // Extracts one packed member; its output is in got().
  short Run(const Member &m) {
    WriteFile(archive_, Archive({m}));
    RemoveFile(out_);
    char bare[16];
    const short r = arj_extract_member(archive_.c_str(), 1, out_.c_str(), bare, sizeof bare);
    got_.clear();
    ReadFile(out_, &got_);
    return r;
  }
  short RunStream(std::uint8_t method, const Bytes &packed, const Bytes &expected) {
    return Run(Packed("X.BIN", method, packed, expected));
  }
  const Bytes &got() const { return got_; }

  std::string dir_, archive_, out_;
  Bytes got_;
};

// The fastest form the processor runs is compiled in and taken: on an x86 processor with
// BMI2, the BMI2 loops (unless the build's own baseline has BMI2).
TEST(ArjLoopForms, ProcessorsBestFormIsTaken) {
#if (defined(__i386__) || defined(__x86_64__)) && !defined(__BMI2__)
  const bool bmi2 = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  EXPECT_EQ(arj::LoopFormAvailable(arj::LoopForm::kBmi2), bmi2);
  if (bmi2) {
    EXPECT_EQ(arj::ChosenLoopForm(), arj::LoopForm::kBmi2);
  }
#else
  GTEST_SKIP() << "one form only";
#endif
}

// Every form of the loops; both the fast steps and the careful ones (over the output's last
// 256 bytes) run.
TEST_F(ArjDecoder, HuffmanMethodsRoundTripBlocksOfManyCodes) {
  const std::vector<Op> ops = RandomOps(12345, 120000);
  const Bytes expected = Reference(ops);
  ForEachLoopForm([&] {
    for (std::uint8_t method : {1, 2, 3}) {
      for (std::size_t block : {std::size_t{4000}, std::size_t{65535}}) {
        SCOPED_TRACE("method " + std::to_string(method) + " block " + std::to_string(block));
        int long_codes = 0;
        const Bytes packed = EncodeHuffman(ops, block, method * 7 + 1, &long_codes);
        EXPECT_GT(long_codes, 0);
        EXPECT_EQ(RunStream(method, packed, expected), arj::kOk);
        EXPECT_TRUE(got() == expected) << got().size() << " vs " << expected.size();
      }
    }
  });
}

TEST_F(ArjDecoder, FastMethodRoundTrip) {
  const std::vector<Op> ops = RandomOps(777, 150000, 15871);  // method 4 reaches 15871
  const Bytes expected = Reference(ops);
  // The longest codes: a length code of seven 1-bits and a position code of four.
  const std::vector<Op> edge = {{0, 'q'}, {256, 0}, {255, 15871}, {129, 7680}, {3, 511}};
  ForEachLoopForm([&] {
    EXPECT_EQ(RunStream(4, EncodeFast(ops), expected), arj::kOk);
    EXPECT_TRUE(got() == expected);
    EXPECT_EQ(RunStream(4, EncodeFast(edge), Reference(edge)), arj::kOk);
    EXPECT_TRUE(got() == Reference(edge));
  });
}

TEST_F(ArjDecoder, LastMatchIsWrittenInFull) {
  const std::vector<Op> ops = {{0, 'a'}, {0, 'b'}, {40, 1}};
  const Bytes full = Reference(ops);
  for (std::uint8_t method : {1, 4}) {
    const Bytes packed = method == 4 ? EncodeFast(ops) : EncodeHuffman(ops, 100, 3);
    Member m = Packed("X.BIN", method, packed, full);
    m.unpacked_size = 5;  // the match runs past it
    EXPECT_EQ(Run(m), 0) << int(method);
    EXPECT_TRUE(got() == full) << int(method);
  }
}

TEST_F(ArjDecoder, SingleSymbolCodesSpendNoBits) {
  BitWriter w;
  SingleSymbolBlock(w, 5, 'Z', 0);
  EXPECT_EQ(RunStream(1, w.Finish(), ToBytes("ZZZZZ")), arj::kOk);
  EXPECT_TRUE(got() == ToBytes("ZZZZZ"));
}

TEST_F(ArjDecoder, BlockCountZeroMeans65536Symbols) {
  BitWriter w;
  SingleSymbolBlock(w, 0, 'A', 0);
  SingleSymbolBlock(w, 1, 'B', 0);
  Bytes expected(65536, 'A');
  expected.push_back('B');
  EXPECT_EQ(RunStream(1, w.Finish(), expected), arj::kOk);
  EXPECT_TRUE(got() == expected);
}

TEST_F(ArjDecoder, MatchRepeatsTheLastByte) {
  BitWriter w;
  SingleSymbolBlock(w, 1, 'x', 0);
  SingleSymbolBlock(w, 1, 509, 0);  // length 256 at position 0
  EXPECT_EQ(RunStream(1, w.Finish(), Bytes(257, 'x')), arj::kOk);
  EXPECT_EQ(got().size(), 257u);
}

TEST_F(ArjDecoder, ZeroBitsAndEndOfFileFeedTheDecoders) {
  // Packed size 0: zero bits follow, which method 4 reads as literal zero bytes and methods
  // 1 to 3 as a block of 65536 zero literals.
  for (std::uint8_t method : {1, 4}) {
    EXPECT_EQ(RunStream(method, {}, Bytes(1000, 0)), arj::kOk) << int(method);
    EXPECT_EQ(got().size(), 1000u);
    EXPECT_EQ(RunStream(method, {}, {}), arj::kOk) << int(method) << ": unpacked size 0";
    EXPECT_TRUE(got().empty());
  }
  // Past the end of the file 0xFF bytes enter: for method 4 a match of 256 bytes from a
  // position in the zeroed history.
  Member m = Packed("X.BIN", 4, {}, Bytes(256, 0));
  m.has_packed_size = true;
  m.packed_size = 100;
  m.unpacked_size = 10;
  Bytes archive = Archive({m});
  archive.resize(archive.size() - 4);  // the member's data (none) is the end of the file
  WriteFile(archive_, archive);
  char bare[16];
  EXPECT_EQ(arj_extract_member(archive_.c_str(), 1, out_.c_str(), bare, sizeof bare), arj::kOk);
  Bytes written;
  ASSERT_TRUE(ReadFile(out_, &written));
  EXPECT_TRUE(written == Bytes(256, 0));
  // Short data is found only by the CRC check.
  const std::vector<Op> ops = RandomOps(5, 3000, 15871);
  Bytes packed = EncodeFast(ops);
  packed.resize(packed.size() / 2);
  EXPECT_EQ(RunStream(4, packed, Reference(ops)), arj::kDataCrcError);
}

TEST_F(ArjDecoder, PositionsBeyondTheWindowEndTheMember) {
  // Class 15 reaches 16384..32767: 26623 is the oldest byte of the window (here still zero),
  // 26624 lies outside it.
  for (unsigned position : {26623u, 26624u, 32767u}) {
    BitWriter w;
    SingleSymbolBlock(w, 1, 'a', 0);
    SingleSymbolBlock(w, 1, 256, 15);
    w.Put(position - 16384, 14);
    const Bytes expected = {'a', 0, 0, 0};
    EXPECT_EQ(RunStream(1, w.Finish(), expected), position < kWindow ? arj::kOk : arj::kBadCodeData)
        << position;
  }
  BitWriter w;
  SingleSymbolBlock(w, 1, 'a', 0);
  SingleSymbolBlock(w, 1, 256, 16);
  w.Put(0, 15);
  EXPECT_EQ(RunStream(1, w.Finish(), {'a', 0, 0, 0}), arj::kBadCodeData);
}

TEST_F(ArjDecoder, MalformedBlockHeadsAreBadData) {
  // Each stream as its fields, (value, bits), first to last.
  struct Case {
    const char *what;
    std::vector<std::pair<std::uint32_t, unsigned>> fields;
  };
  const Case cases[] = {
      {"length-code count above 19", {{1, 16}, {20, 5}}},
      {"position count above 17", {{1, 16}, {0, 5}, {0, 5}, {0, 9}, {'a', 9}, {18, 5}}},
      {"unary length above 16", {{1, 16}, {1, 5}, {7, 3}, {0x3FF, 10}, {0, 1}}},
      {"unary run without its closing bit", {{1, 16}, {1, 5}, {0xFFFF, 16}}},
      {"one-symbol length code outside its alphabet", {{1, 16}, {0, 5}, {19, 5}}},
      {"one-symbol symbol code outside its alphabet", {{1, 16}, {0, 5}, {0, 5}, {0, 9}, {510, 9}}},
      {"one-symbol position code outside its alphabet",
       {{1, 16}, {0, 5}, {0, 5}, {0, 9}, {'a', 9}, {0, 5}, {17, 5}}},
      {"symbol count above 510", {{1, 16}, {0, 5}, {0, 5}, {511, 9}}},
      // Length codes 0, 1 and 2 with lengths 1, 2, 2: "0", "10", "11"; then code 2, a run of
      // 20 + 9 bits: 511 zero lengths.
      {"zero run past the symbol alphabet",
       {{1, 16}, {3, 5}, {1, 3}, {2, 3}, {2, 3}, {0, 2}, {510, 9}, {3, 2}, {491, 9}}},
      {"lengths that over-fill the code", {{1, 16}, {3, 5}, {1, 3}, {1, 3}, {1, 3}, {0, 2}}},
  };
  for (const Case &c : cases) {
    BitWriter w;
    for (const auto &field : c.fields) w.Put(field.first, field.second);
    Bytes packed = w.Finish();
    packed.resize(packed.size() + 8, 0);
    EXPECT_EQ(RunStream(1, packed, ToBytes("abc")), arj::kBadCodeData) << c.what;
    EXPECT_TRUE(got().empty()) << c.what;
  }
}

// All-zero code lengths leave the tables of the previous block, even from an earlier call:
// the decoder goes on producing that block's single symbol.
TEST_F(ArjDecoder, AllZeroLengthsKeepEarlierTables) {
  BitWriter first;
  SingleSymbolBlock(first, 3, 'Q', 0);
  ASSERT_EQ(RunStream(1, first.Finish(), ToBytes("QQQ")), arj::kOk);

  BitWriter w;
  w.Put(4, 16);
  w.Put(3, 5);  // length codes 0, 1, 2: "0", "10", "11"
  w.Put(1, 3);
  w.Put(2, 3);
  w.Put(2, 3);
  w.Put(0, 2);
  w.Put(510, 9);
  w.Put(3, 2);  // one run of 510 zero lengths
  w.Put(490, 9);
  w.Put(0, 5);  // positions: one symbol
  w.Put(0, 5);
  EXPECT_EQ(RunStream(1, w.Finish(), ToBytes("QQQQ")), arj::kOk);
  EXPECT_TRUE(got() == ToBytes("QQQQ"));
}

TEST_F(ArjDecoder, TextMemberFromAPackedStream) {
  const Bytes text = ToBytes("one\ntwo\nthree\n");
  std::vector<Op> ops;
  for (std::uint8_t b : text) ops.push_back({0, b});
  Member m = Packed("T.TXT", 4, EncodeFast(ops), text);
  m.file_type = 1;
  EXPECT_EQ(Run(m), 0);
  EXPECT_TRUE(got() == AsWrittenText(text));
}

}  // namespace
}  // namespace arjtest
