// The encoder's packed forms, decoded by the engine byte for byte: both methods, the
// default and the best parse, at the sizes and shapes where the packed form has its edges.
// Natively also archives of them checked by the arj and 7zz archivers as black boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <queue>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "arj/arj.h"
#include "arj/result.h"
#include "arj_test_support.h"
#include "arjenc/bit_writer.h"
#include "arjenc/block_plan.h"
#include "arjenc/compress.h"
#include "arjenc/fast_packer.h"
#include "arjenc/huffman_code.h"
#include "arjenc/huffman_packer.h"
#include "arjenc/lazy_parser.h"
#include "arjenc/match_finder.h"
#include "arjenc/tuned_codes.h"

namespace arjtest {
namespace {

constexpr std::size_t kWindow = 26624;
constexpr std::uint8_t kHuffman = 1;
constexpr std::uint8_t kFast = 4;

struct Random {
  std::uint64_t state;
  std::uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  }
};

Bytes RandomBytes(std::size_t n, std::uint32_t seed, unsigned alphabet = 256) {
  Random rng{seed};
  Bytes b(n);
  for (auto &x : b) x = static_cast<std::uint8_t>(rng.Next() % alphabet);
  return b;
}

// Words from a small vocabulary: matches of every length and distance.
Bytes TextLike(std::size_t n, std::uint32_t seed) {
  static const char *const kWords[] = {"the ",     "archive ", "member ", "window ", "of ",
                                       "packed ",  "bytes ",   "and ",    "a ",      "match\n",
                                       "literal ", "code ",    "length ", "block ",  "head "};
  Random rng{seed};
  Bytes b;
  while (b.size() < n) {
    const char *w = kWords[rng.Next() % 15];
    b.insert(b.end(), w, w + std::char_traits<char>::length(w));
  }
  b.resize(n);
  return b;
}

// For each class of match position, fresh random bytes, then a 16-byte copy from the
// class's first position back (distance 2^(c-1) + 1 for class c, 1 for class 0).
Bytes EveryPositionClass() {
  Bytes b;
  for (unsigned c = 0; c <= 15; ++c) {
    const std::size_t distance = c == 0 ? 1 : (std::size_t{1} << (c - 1)) + 1;
    const Bytes fresh = RandomBytes(distance < 16 ? 16 : distance, c + 100);
    const std::size_t from = b.size() + fresh.size() - distance;
    b.insert(b.end(), fresh.begin(), fresh.end());
    for (std::size_t k = 0; k < 16; ++k) b.push_back(b[from + k]);
  }
  return b;
}

struct Packer {
  std::uint8_t method;
  bool best;
  std::string Name() const {
    return "method " + std::to_string(method) + (best ? " best" : " default");
  }
};
const Packer kPackers[] = {{kHuffman, false}, {kHuffman, true}, {kFast, false}, {kFast, true}};

// The packed form even where it is not smaller than the input.
Bytes ForcePack(const Packer &p, const Bytes &data) {
  Bytes packed;
  const bool done = p.method == kHuffman
                        ? arjenc::PackHuffman(data.data(), data.size(), p.best, SIZE_MAX, &packed)
                        : arjenc::PackFast(data.data(), data.size(), p.best, SIZE_MAX, &packed);
  EXPECT_TRUE(done);
  return packed;
}

// Extracts the archive's only member with the engine.
Bytes ExtractOnly(const Bytes &archive, const std::string &scratch) {
  const std::string dir = ScratchDir(scratch);
  const std::string path = Join(dir, "ONE.ARJ");
  WriteFile(path, archive);
  const std::string out = Join(dir, "out");
  char bare[64];
  EXPECT_EQ(arj_extract_member(path.c_str(), 1, out.c_str(), bare, sizeof bare), arj::kOk);
  Bytes got;
  EXPECT_TRUE(ReadFile(out, &got));
  return got;
}

void ExpectRoundTrip(const Packer &p, const Bytes &data, const std::string &what) {
  SCOPED_TRACE(p.Name() + ", " + what + ", " + std::to_string(data.size()) + " bytes");
  const Bytes packed = ForcePack(p, data);
  const Bytes got = ExtractOnly(Archive({Packed("DATA.BIN", p.method, packed, data)}), "rt");
  EXPECT_EQ(got.size(), data.size());
  EXPECT_TRUE(got == data);
}

TEST(ArjencRoundTrip, EdgesOfThePackedForm) {
  Bytes run(100000, 0x41);
  Bytes window_twice = RandomBytes(kWindow, 3);  // the same bytes a whole window back
  window_twice.insert(window_twice.end(), window_twice.begin(), window_twice.end());
  Bytes runs_and_noise = RandomBytes(5000, 4);
  runs_and_noise.insert(runs_and_noise.end(), 3000, 0);
  const Bytes noise = RandomBytes(70000, 5);
  runs_and_noise.insert(runs_and_noise.end(), noise.begin(), noise.end());
  const std::vector<std::pair<std::string, Bytes>> cases = {
      {"one byte", Bytes{0x5A}},
      {"two bytes", Bytes{0, 0xFF}},
      {"one byte repeated (the only symbol a match)", Bytes(300, 7)},
      {"a long run", run},
      {"text, a byte short of the window", TextLike(kWindow - 1, 1)},
      {"text, the window", TextLike(kWindow, 1)},
      {"text, a byte past the window", TextLike(kWindow + 1, 1)},
      {"text, several windows", TextLike(5 * kWindow + 333, 2)},
      {"noise", RandomBytes(50000, 6)},
      {"a window of noise twice", window_twice},
      {"runs between noise", runs_and_noise},
      {"every position class", EveryPositionClass()},
      // Four bits a byte: every byte a literal, more than a block holds.
      {"more symbols than a block holds", RandomBytes(300000, 8, 16)},
  };
  for (const Packer &p : kPackers) {
    for (const auto &c : cases) ExpectRoundTrip(p, c.second, c.first);
  }
}

TEST(ArjencRoundTrip, TheParseReachesEveryPositionClassAndTheLongestMatch) {
  // The cases above decode only if these were written right; here the parse is seen to
  // use them at all.
  Bytes data = EveryPositionClass();
  data.insert(data.end(), 600, 0x33);
  arjenc::LazyParser parser(data.data(), data.size(), arjenc::LazyOptions{});
  std::vector<arjenc::Token> tokens;
  arjenc::BlockCounts counts;
  counts.Clear();
  while (parser.Parse(&tokens, SIZE_MAX, &counts)) {
  }
  std::set<unsigned> classes;
  unsigned longest = 0;
  for (arjenc::Token t : tokens) {
    if (!arjenc::IsMatch(t)) continue;
    classes.insert(arjenc::PositionClass(arjenc::TokenPosition(t)));
    longest = std::max(longest, arjenc::TokenLength(t));
  }
  for (unsigned c = 0; c <= 15; ++c) EXPECT_EQ(classes.count(c), 1u) << "class " << c;
  EXPECT_EQ(longest, arjenc::kMaxMatch);
}

// Random bytes of 4 bits, or of 7 bits with the top bit set.
Bytes LowOrHigh(std::size_t n, std::uint32_t seed, bool high) {
  Bytes b = RandomBytes(n, seed, high ? 128 : 16);
  if (high) {
    for (auto &x : b) x = static_cast<std::uint8_t>(x | 0x80);
  }
  return b;
}

// The lengths of the matches a default parse of data makes, with these options.
std::vector<unsigned> MatchLengths(const Bytes &data, const arjenc::LazyOptions &options) {
  arjenc::LazyParser parser(data.data(), data.size(), options);
  std::vector<arjenc::Token> tokens;
  arjenc::BlockCounts counts;
  counts.Clear();
  while (parser.Parse(&tokens, SIZE_MAX, &counts)) {
  }
  std::vector<unsigned> lengths;
  for (const arjenc::Token t : tokens) {
    if (arjenc::IsMatch(t)) lengths.push_back(arjenc::TokenLength(t));
  }
  return lengths;
}

TEST(ArjencRoundTrip, TheParseLooksTwoAheadPastAShortMatch) {
  // At "abcdef...": "abc" matches 3 bytes, "bc..." nothing, "cdef..." 18 bytes. Bytes above
  // 0x7F in between (no match with the letters), enough that the input is not small.
  const auto put = [](Bytes *b, const char *s) { b->insert(b->end(), s, s + std::strlen(s)); };
  Bytes data = LowOrHigh(9000, 30, true);
  put(&data, "abcX");
  const Bytes gap = LowOrHigh(50, 31, true);
  data.insert(data.end(), gap.begin(), gap.end());
  put(&data, "QcdefghijklmnopqrstQ");
  data.insert(data.end(), gap.begin(), gap.begin() + 40);
  put(&data, "abcdefghijklmnopqrstZ");
  const arjenc::LazyOptions two_ahead;
  ASSERT_GT(two_ahead.look_two_limit, 3u);
  const std::vector<unsigned> found = MatchLengths(data, two_ahead);
  EXPECT_NE(std::find(found.begin(), found.end(), 18u), found.end());
  arjenc::LazyOptions one_ahead;
  one_ahead.look_two_limit = 0;
  const std::vector<unsigned> without = MatchLengths(data, one_ahead);
  EXPECT_EQ(std::find(without.begin(), without.end(), 18u), without.end());
  for (const Packer &p : kPackers) ExpectRoundTrip(p, data, "a short match, a long one two on");
}

TEST(ArjencPack, TablesKeptAcrossMembersChangeNoByte) {
  // Small after large (tables larger than needed, full of old entries), the same bytes
  // again (old entries that would match), then larger again (tables grow); last, small
  // members of the same bytes past the 64 KiB that narrow tables count before they start
  // again from empty.
  const Bytes text = TextLike(3 * kWindow, 16);
  const Bytes head(text.begin(), text.begin() + 700);
  std::vector<Bytes> members = {text, head, head, RandomBytes(5000, 17), text};
  const Bytes small(text.begin(), text.begin() + arjenc::MatchFinder::kSmallInput);
  members.insert(members.end(), 0x10000 / small.size() + 2, small);
  for (const Packer &p : kPackers) {
    SCOPED_TRACE(p.Name());
    arjenc::MatchTables tables;
    for (std::size_t i = 0; i < members.size(); ++i) {
      const Bytes &data = members[i];
      Bytes kept;
      ASSERT_TRUE(
          p.method == kHuffman
              ? arjenc::PackHuffman(data.data(), data.size(), p.best, SIZE_MAX, &kept, &tables)
              : arjenc::PackFast(data.data(), data.size(), p.best, SIZE_MAX, &kept, &tables));
      EXPECT_TRUE(kept == ForcePack(p, data)) << "member " << i;
    }
  }
}

// Two parts of other bytes one after the other (one set of codes for both costs about a bit
// more a byte than a block for each) pack within 2% of the parts packed on their own.
void ExpectPartsPackedAsWellAsApart(const Packer &packer, std::size_t lowSize, std::size_t highSize,
                                    std::uint32_t seed) {
  const Bytes low = LowOrHigh(lowSize, seed, false);
  const Bytes high = LowOrHigh(highSize, seed + 1, true);
  Bytes both = low;
  both.insert(both.end(), high.begin(), high.end());
  const std::size_t apart = ForcePack(packer, low).size() + ForcePack(packer, high).size();
  EXPECT_LT(ForcePack(packer, both).size(), apart + apart / 50);
  ExpectRoundTrip(packer, both, "two parts of different bytes");
}

TEST(ArjencRoundTrip, BestPackGivesEachPartOfTheInputItsOwnCodes) {
  // Four bits a byte, then seven: some 11% more with one set of codes.
  const Packer best{kHuffman, true};
  ExpectPartsPackedAsWellAsApart(best, 30000, 30000, 14);

  // Four such parts of unequal sizes as literals: the planner cuts where the parts meet,
  // not at halves, and the blocks take the bits it priced them at.
  const std::vector<std::size_t> part_sizes = {12 * 1024, 28 * 1024, 8 * 1024, 20 * 1024};
  Bytes parts;
  for (std::uint32_t k = 0; k < part_sizes.size(); ++k) {
    const Bytes part = LowOrHigh(part_sizes[k], 20 + k, k % 2 == 1);
    parts.insert(parts.end(), part.begin(), part.end());
  }
  std::vector<arjenc::Token> tokens;
  for (const std::uint8_t b : parts) tokens.push_back(arjenc::LiteralToken(b));
  std::vector<std::size_t> sizes;
  const std::size_t planned = arjenc::PlanBlocks(tokens.data(), tokens.size(), &sizes);
  EXPECT_EQ(sizes, part_sizes);
  Bytes written;
  arjenc::BitWriter out(&written);
  const arjenc::Token *at = tokens.data();
  for (const std::size_t n : sizes) {
    arjenc::BlockCounts counts;
    counts.Count(at, n);
    arjenc::WriteBlock(at, n, arjenc::TunedCodes(counts), out);
    at += n;
  }
  EXPECT_EQ(out.BitCount(), planned);
  ExpectRoundTrip(best, parts, "four parts of different bytes");

  // Parts that meet between the cuts the estimate weighs: the cuts are moved to within 32
  // tokens of where they meet (the halving alone leaves them a quarter of a step away).
  const std::vector<std::size_t> uneven_sizes = {12 * 1024 + 200, 28 * 1024 - 136, 8 * 1024};
  Bytes uneven;
  for (std::uint32_t k = 0; k < uneven_sizes.size(); ++k) {
    const Bytes part = LowOrHigh(uneven_sizes[k], 30 + k, k % 2 == 1);
    uneven.insert(uneven.end(), part.begin(), part.end());
  }
  tokens.clear();
  for (const std::uint8_t b : uneven) tokens.push_back(arjenc::LiteralToken(b));
  sizes.clear();
  arjenc::PlanBlocks(tokens.data(), tokens.size(), &sizes);
  std::vector<std::size_t> cuts;
  for (std::size_t k = 0, cut = 0; k + 1 < sizes.size(); ++k) cuts.push_back(cut += sizes[k]);
  std::size_t meet = 0;
  for (std::size_t k = 0; k + 1 < uneven_sizes.size(); ++k) {
    meet += uneven_sizes[k];
    const bool near = std::any_of(cuts.begin(), cuts.end(), [meet](std::size_t cut) {
      return (cut > meet ? cut - meet : meet - cut) <= 32;
    });
    EXPECT_TRUE(near) << "where parts meet at " << meet << ": " << ::testing::PrintToString(cuts);
  }
}

TEST(ArjencRoundTrip, DefaultPackCutsBlocksWhereTheBytesChange) {
  // As above for the default, with parts of 24 and 40 KiB: blocks cut where the symbols
  // change.
  const Packer lazy{kHuffman, false};
  ExpectPartsPackedAsWellAsApart(lazy, 24 * 1024, 40 * 1024, 24);
}

TEST(ArjencHuffmanCode, LengthsFollowTheCountsAtEverySizeOfCount) {
  // Counts that take one, two and three bytes order the symbols alike; among equal counts
  // the lower symbol gets the longer code.
  for (const std::uint32_t unit : {1u, 300u, 70000u}) {
    SCOPED_TRACE("counts in units of " + std::to_string(unit));
    const std::uint32_t counts[6] = {8 * unit, 0, unit, unit, 2 * unit, 4 * unit};
    std::uint8_t lengths[6];
    EXPECT_EQ(arjenc::BuildCodeLengths(counts, 6, 16, lengths), 5u);
    const std::uint8_t expected[6] = {1, 0, 4, 4, 3, 2};
    for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(lengths[i], expected[i]) << "symbol " << i;
  }
  // Limited to 3 bits, the lengths still form a complete code.
  const std::uint32_t steep[6] = {1, 2, 4, 8, 16, 32};
  std::uint8_t lengths[6];
  arjenc::BuildCodeLengths(steep, 6, 3, lengths);
  unsigned kraft = 0;
  for (unsigned i = 0; i < 6; ++i) {
    EXPECT_LE(lengths[i], 3u);
    kraft += 8u >> lengths[i];
  }
  EXPECT_EQ(kraft, 8u);
}

// Huffman's cost, sum of count times length, as the sum of the weights of the merged
// nodes, and the depth of its deepest leaf.
std::pair<std::uint64_t, unsigned> HuffmanCost(const std::vector<std::uint32_t> &counts) {
  using Node = std::pair<std::uint64_t, unsigned>;  // weight, depth below
  std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
  for (const std::uint32_t c : counts) {
    if (c) queue.push({c, 0});
  }
  std::uint64_t cost = 0;
  unsigned depth = 0;
  while (queue.size() > 1) {
    const Node a = queue.top();
    queue.pop();
    const Node b = queue.top();
    queue.pop();
    cost += a.first + b.first;
    depth = std::max(a.second, b.second) + 1;
    queue.push({a.first + b.first, depth});
  }
  return {cost, depth};
}

TEST(ArjencHuffmanCode, LengthsCostWhatHuffmansCodeCosts) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const unsigned n = 2 + random() % 509;
    std::vector<std::uint32_t> counts(n);
    for (std::uint32_t &c : counts) {
      c = random() % 3 == 0 ? 0 : 1 + random() % (round % 2 ? 5 : 3000);
    }
    const auto reference = HuffmanCost(counts);
    if (reference.second > 16) continue;  // the limit would bind
    std::vector<std::uint8_t> lengths(n);
    arjenc::BuildCodeLengths(counts.data(), n, 16, lengths.data());
    std::uint64_t cost = 0;
    for (unsigned i = 0; i < n; ++i) cost += std::uint64_t{counts[i]} * lengths[i];
    if (reference.first != 0) {
      EXPECT_EQ(cost, reference.first) << "round " << round;
    }
  }
}

// The bytes tokens stand for.
Bytes Expand(const std::vector<arjenc::Token> &tokens) {
  Bytes b;
  for (const arjenc::Token t : tokens) {
    if (!arjenc::IsMatch(t)) {
      b.push_back(static_cast<std::uint8_t>(t));
      continue;
    }
    const std::size_t from = b.size() - arjenc::TokenPosition(t) - 1;
    for (unsigned k = 0; k < arjenc::TokenLength(t); ++k) b.push_back(b[from + k]);
  }
  return b;
}

// Code lengths of n symbols as units of a complete code's space (2^16 when complete).
unsigned CodeSpace(const std::uint8_t *lengths, unsigned n) {
  unsigned space = 0;
  for (unsigned i = 0; i < n; ++i) space += lengths[i] ? 0x10000u >> lengths[i] : 0;
  return space;
}

// The codes --best chooses for a block's head and body together: a valid complete code for
// every block shape, never more bits than the plain codes, counted exactly as written, and
// decoded by the engine.
TEST(ArjencTunedCodes, BlocksOfEveryShapeComeOutNoLargerAndDecode) {
  std::vector<std::pair<std::string, std::vector<arjenc::Token>>> cases;
  std::vector<arjenc::Token> all, noise, single, one_match;
  for (unsigned i = 0; i < 3000; ++i) {
    all.push_back(arjenc::LiteralToken(static_cast<std::uint8_t>(i < 2560 ? i : i % 40)));
  }
  for (unsigned i = 0; i < 300; ++i) all.push_back(arjenc::MatchToken(3 + i % 254, 1 + i * 7));
  const Bytes random = RandomBytes(2000, 11);
  for (const std::uint8_t b : random) noise.push_back(arjenc::LiteralToken(b));
  noise.push_back(arjenc::MatchToken(3, 1000));
  single.assign(300, arjenc::LiteralToken(7));
  one_match.push_back(arjenc::LiteralToken(1));
  one_match.insert(one_match.end(), 200, arjenc::MatchToken(5, 1));
  const Bytes text = TextLike(5000, 12);
  arjenc::LazyParser parser(text.data(), text.size(), arjenc::LazyOptions{});
  std::vector<arjenc::Token> parsed;
  arjenc::BlockCounts parsed_counts;
  parsed_counts.Clear();
  while (parser.Parse(&parsed, SIZE_MAX, &parsed_counts)) {
  }
  cases = {{"every literal used", all},
           {"noise", noise},
           {"a single symbol", single},
           {"one literal and one match", one_match},
           {"text", parsed}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.first);
    const std::vector<arjenc::Token> &tokens = c.second;
    arjenc::BlockCounts counts;
    counts.Count(tokens.data(), tokens.size());
    const arjenc::BlockCodes plain(counts);
    const arjenc::BlockCodes tuned = arjenc::TunedCodes(counts);
    const std::size_t bits = arjenc::BlockBits(counts, tuned);
    EXPECT_LE(bits, arjenc::BlockBits(counts, plain));
    if (c.first == "noise") {
      EXPECT_LT(bits, arjenc::BlockBits(counts, plain));
    }
    for (unsigned s = 0; s < arjenc::kSymbolCount; ++s) {
      if (counts.symbols[s] && tuned.symbol_used >= 2) {
        EXPECT_NE(tuned.symbol_lengths[s], 0);
      }
    }
    if (tuned.symbol_used >= 2) {
      EXPECT_EQ(CodeSpace(tuned.symbol_lengths, arjenc::kSymbolCount), 0x10000u);
    }
    if (tuned.class_used >= 2) {
      EXPECT_EQ(CodeSpace(tuned.class_lengths, arjenc::kPositionClassCount), 0x10000u);
    }
    for (const arjenc::BlockCodes *codes : {&plain, &tuned}) {
      Bytes packed;
      arjenc::BitWriter out(&packed);
      arjenc::WriteBlock(tokens.data(), tokens.size(), *codes, out);
      EXPECT_EQ(out.BitCount(), arjenc::BlockBits(counts, *codes));
      out.Finish();
      const Bytes data = Expand(tokens);
      EXPECT_TRUE(ExtractOnly(Archive({Packed("DATA.BIN", kHuffman, packed, data)}), "tuned") ==
                  data);
    }
  }
}

TEST(ArjencPack, StoresWhatDoesNotGetSmaller) {
  Bytes packed;
  for (const Packer &p : kPackers) {
    SCOPED_TRACE(p.Name());
    arjenc::PackOptions options;
    options.method =
        p.method == kHuffman ? arjenc::PackMethod::kHuffman : arjenc::PackMethod::kFast;
    options.best = p.best;
    EXPECT_FALSE(arjenc::Pack(nullptr, 0, options, &packed));
    const Bytes one{1};
    EXPECT_FALSE(arjenc::Pack(one.data(), one.size(), options, &packed));
    const Bytes noise = RandomBytes(20000, 9);
    EXPECT_FALSE(arjenc::Pack(noise.data(), noise.size(), options, &packed));
    const Bytes text = TextLike(20000, 9);
    ASSERT_TRUE(arjenc::Pack(text.data(), text.size(), options, &packed));
    EXPECT_LT(packed.size(), text.size() / 2);
    EXPECT_TRUE(ExtractOnly(Archive({Packed("T.TXT", p.method, packed, text)}), "pack") == text);
  }
  arjenc::PackOptions stored;
  stored.method = arjenc::PackMethod::kStored;
  const Bytes text = TextLike(20000, 9);
  EXPECT_FALSE(arjenc::Pack(text.data(), text.size(), stored, &packed));
}

#ifndef _WIN32
// An archive of every case packed by every packer, as the real archivers see it.
TEST(ArjencArchivers, ArjAndSevenZipAcceptOurArchivesAndArjRestoresTheFiles) {
  if (!*KX_ARJ_ARCHIVER || !*KX_7ZZ) GTEST_SKIP() << "arj or 7zz missing (scripts/bootstrap)";
  const std::vector<Bytes> inputs = {TextLike(3 * kWindow + 17, 11), Bytes(70000, 0),
                                     EveryPositionClass(), RandomBytes(300000, 12, 16),
                                     TextLike(100, 13)};
  std::vector<Member> members;
  std::vector<std::pair<std::string, Bytes>> files;
  for (const Packer &p : kPackers) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const std::string name =
          "M" + std::to_string(p.method) + (p.best ? "B" : "D") + std::to_string(i) + ".BIN";
      members.push_back(Packed(name, p.method, ForcePack(p, inputs[i]), inputs[i]));
      members.back().archiver_version = 11;  // method 4 needs an archiver version above 1
      files.emplace_back(name, inputs[i]);
    }
  }
  const std::string dir = ScratchDir("archivers");
  const std::string archive = Join(dir, "OURS.ARJ");
  WriteFile(archive, Archive(members));
  const std::string quiet = " >" + Join(dir, "log") + " 2>&1";
  EXPECT_EQ(std::system((std::string(KX_ARJ_ARCHIVER) + " t -y " + archive + quiet).c_str()), 0);
  EXPECT_EQ(std::system((std::string(KX_7ZZ) + " t " + archive + quiet).c_str()), 0);
  const std::string out = Join(dir, "x");
  EXPECT_EQ(std::system(("mkdir " + out + " && cd " + out + " && " + KX_ARJ_ARCHIVER + " x -y " +
                         archive + quiet)
                            .c_str()),
            0);
  for (const auto &f : files) {
    Bytes got;
    EXPECT_TRUE(ReadFile(Join(out, f.first), &got)) << f.first;
    EXPECT_TRUE(got == f.second) << f.first;
  }
}
#endif

}  // namespace
}  // namespace arjtest
