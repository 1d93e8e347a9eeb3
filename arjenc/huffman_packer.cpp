#include "arjenc/huffman_packer.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "arjenc/bit_writer.h"
#include "arjenc/block_plan.h"
#include "arjenc/cost_model.h"
#include "arjenc/huffman_block.h"
#include "arjenc/lazy_parser.h"
#include "arjenc/optimal_parser.h"
#include "arjenc/tuned_codes.h"

namespace arjenc {
namespace {

// The default: lazy parsing, blocks as large as a head can count (fewer heads pay off more
// than codes fitted closer), short matches weighed by the codes of the block before.
constexpr std::size_t kLazyBlockTokens = kMaxBlockSymbols;

// --best: stretches of 160 KiB parsed three times over, each time under the costs the
// counts of the parse before give, searched up to 256 positions deep. Stretches of 128 to
// 192 KiB came out smaller than of 256 KiB (heads are a small part of a block that large).
constexpr std::size_t kBestStretch = 160 * 1024;
constexpr int kBestPasses = 3;
constexpr unsigned kBestChain = 256;
// Within a match this long, positions are searched only this deep and their matches weighed
// at their whole lengths: nearly what full searches find there, and long repeats do not
// take five times as long.
constexpr unsigned kBestTakeWhole = 192;
constexpr unsigned kBestInsideChain = 16;
// Passes more under the costs of the codes the best pass gives, in whole bits.
constexpr int kExactPasses = 2;
// Parses more from shaken costs (see Shake), each followed by kExactPasses.
constexpr int kRestarts = 4;
constexpr std::uint32_t kShakeSeed = 12345;
constexpr int kShakeSteps = 8;  // at most half a bit either way
// Stretches of fewer tokens (small members) get no restarts: a tenth of a percent for four
// times the time. Their rare match lengths are tried left out instead (see kRareUses).
constexpr std::size_t kSmallTokens = 4096;
// Small blocks: match lengths used this often or less are tried left out, priced so high
// that the parse goes round them (256 bits).
constexpr unsigned kRareUses = 2;
constexpr std::uint32_t kLeftOutCost = 256 * kCostScale;
// Passes more for a stretch split into blocks, each parsed under its own codes.
constexpr int kBlockPasses = 2;

// Moves each cost by up to kShakeSteps sixteenths of a bit either way, as a fixed sequence
// from *seed gives (the same costs on every machine), keeping it at least half a bit.
void Shake(CostModel *costs, std::uint32_t *seed) {
  const auto shaken = [seed](std::uint32_t cost) {
    *seed = *seed * 1103515245u + 12345u;
    const int step = static_cast<int>((*seed >> 16) % (2 * kShakeSteps + 1)) - kShakeSteps;
    const int moved = static_cast<int>(cost) + step;
    return static_cast<std::uint32_t>(std::max(moved, static_cast<int>(kCostScale / 2)));
  };
  for (std::uint32_t &cost : costs->symbol) cost = shaken(cost);
  for (std::uint32_t &cost : costs->position_class) cost = shaken(cost);
}

// Writes tokens as blocks of these sizes, each with its codes.
void WriteBlocks(const std::vector<Token> &tokens, const std::vector<std::size_t> &sizes,
                 BitWriter &out) {
  BlockCounts counts;
  const Token *at = tokens.data();
  for (const std::size_t n : sizes) {
    counts.Clear();
    counts.Add(at, n);
    WriteBlock(at, n, TunedCodes(counts), out);
    at += n;
  }
}

// Counts as if every byte of the stretch were a literal, the matches as counted: the parse
// from their costs weighs each match against the bytes it covers, not against literals that
// a parse with many matches made rare.
void CountBytesAsLiterals(const std::uint8_t *bytes, std::size_t n, BlockCounts *counts) {
  for (unsigned b = 0; b < 256; ++b) counts->symbols[b] = 0;
  for (std::size_t k = 0; k < n; ++k) ++counts->symbols[bytes[k]];
}

// Where a parse of blocks starts from: each block's own codes, its counts shaken (see
// Shake), or its bytes counted as literals (see CountBytesAsLiterals).
enum class BlockStart { kCodes, kShaken, kBytes };

// Each block's costs, over the bytes its tokens cover, for parsing the stretch again:
// *models gets one a block, *spans where each applies. bytes: the stretch's.
void CostsOfBlocks(const std::vector<Token> &tokens, const std::vector<std::size_t> &sizes,
                   BlockStart start, const std::uint8_t *bytes, std::uint32_t *seed,
                   std::vector<CostModel> *models, std::vector<OptimalParser::CostSpan> *spans) {
  models->resize(sizes.size());
  spans->clear();
  BlockCounts counts;
  const Token *at = tokens.data();
  std::size_t covered = 0;
  for (std::size_t b = 0; b < sizes.size(); ++b) {
    const std::size_t from = covered;
    for (std::size_t k = 0; k < sizes[b]; ++k) covered += IsMatch(at[k]) ? TokenLength(at[k]) : 1;
    counts.Clear();
    counts.Add(at, sizes[b]);
    CostModel &model = (*models)[b];
    if (start == BlockStart::kCodes) {
      model.FromCodes(TunedCodes(counts));
    } else {
      if (start == BlockStart::kBytes) CountBytesAsLiterals(bytes + from, covered - from, &counts);
      model.FromCounts(counts);
      if (start == BlockStart::kShaken) Shake(&model, seed);
    }
    spans->push_back(OptimalParser::CostSpan{covered, &model});
    at += sizes[b];
  }
  spans->back().end = SIZE_MAX;
}

bool PackLazy(const std::uint8_t *data, std::size_t size, std::size_t give_up,
              std::vector<std::uint8_t> *packed, MatchTables *tables) {
  BitWriter out(packed);
  // The first block takes every match it finds: weighed by a guess at the codes, small
  // members came out no smaller and took longer.
  LazyParser parser(data, size, LazyOptions{}, tables);
  CostModel costs;
  std::vector<Token> tokens;
  tokens.reserve(std::min(size, kLazyBlockTokens));
  BlockCounts counts;
  counts.Clear();
  while (parser.Parse(&tokens, kLazyBlockTokens, &counts)) {
    const BlockCodes codes(counts);
    // A block that is not full is the last: no costs are needed after it.
    if (tokens.size() == kLazyBlockTokens) {
      costs.FromCodes(codes);
      costs.AverageLiteral(counts);
      parser.SetCosts(&costs);
    }
    WriteBlock(tokens.data(), tokens.size(), codes, out);
    tokens.clear();
    counts.Clear();
    if (out.ByteCount() >= give_up) return false;
  }
  out.Finish();
  return true;
}

bool PackBest(const std::uint8_t *data, std::size_t size, std::size_t give_up,
              std::vector<std::uint8_t> *packed, MatchTables *tables) {
  BitWriter out(packed);
  OptimalParser parser(data, size, kMaxDistance, kBestChain, kBestTakeWhole, tables,
                       kBestInsideChain);
  CostModel costs, exact;
  costs.Initial();
  std::vector<Token> tokens, best_tokens;
  std::vector<std::size_t> sizes, best_sizes;
  std::vector<CostModel> models;
  std::vector<OptimalParser::CostSpan> spans;
  BlockCounts counts;
  std::size_t stretch_end = 0;
  while (std::size_t stretch = parser.NextStretch(kBestStretch)) {
    const std::uint8_t *const stretch_bytes = data + stretch_end;
    stretch_end += stretch;
    // The pass whose block comes out smallest is kept. Each returns the codes it chose.
    std::size_t best_bits = SIZE_MAX;
    std::optional<BlockCodes> best_codes;
    const auto parse = [&](const CostModel &under, int rounds) {
      parser.Parse(under, &tokens);
      counts.Clear();
      counts.Add(tokens.data(), tokens.size());
      const BlockCodes codes = TunedCodes(counts, rounds);
      const std::size_t bits = BlockBits(counts, codes);
      if (bits < best_bits) {
        best_bits = bits;
        best_tokens.swap(tokens);
        best_codes = codes;
      }
      return codes;
    };
    for (int pass = 0; pass < kBestPasses; ++pass) {
      // Early passes only steer the next: one round of tuning serves them.
      parse(costs, pass + 1 < kBestPasses ? 1 : kTunedRounds);
      // Fractions of bits, not the codes' whole bits: the next parse is not held to
      // the steps between code lengths.
      costs.FromCounts(counts);
    }
    // A stretch that does not get smaller than its bytes gains next to nothing from the
    // passes below: noise would take seconds a megabyte for nothing.
    const bool incompressible = best_bits >= 8 * stretch;
    // Then under the whole-bit codes that will be written, while that pays.
    for (int pass = 0; pass < kExactPasses && !incompressible; ++pass) {
      const std::size_t before = best_bits;
      exact.FromCodes(*best_codes);
      parse(exact, kTunedRounds);
      if (best_bits == before) break;
    }
    // A small block's head is a large part of it: each match length used once or twice is
    // tried left out (its entry in the head and the zeros around it may cost more than the
    // longer way round), kept out when the block comes out smaller.
    if (best_tokens.size() < kSmallTokens && !incompressible) {
      bool left_out[kSymbolCount] = {};
      for (unsigned times = 1; times <= kRareUses; ++times) {
        counts.Clear();
        counts.Add(best_tokens.data(), best_tokens.size());
        const BlockCounts before_leaving = counts;
        for (unsigned s = kLengthSymbolBase + kMinMatch; s < kSymbolCount; ++s) {
          if (before_leaving.symbols[s] != times) continue;
          left_out[s] = true;
          exact.FromCodes(*best_codes);
          for (unsigned k = 0; k < kSymbolCount; ++k) {
            if (left_out[k]) exact.symbol[k] = kLeftOutCost;
          }
          const std::size_t before = best_bits;
          parse(exact, kTunedRounds);
          if (best_bits == before) left_out[s] = false;
        }
      }
    }
    // The passes settle where the parse and the codes suit each other, not always the
    // smallest: parses from the best costs shaken a little, each followed by parses under
    // its own whole-bit codes, find other such places.
    std::uint32_t seed = kShakeSeed;
    const int restarts = best_tokens.size() >= kSmallTokens && !incompressible ? kRestarts : 0;
    for (int restart = 0; restart < restarts; ++restart) {
      counts.Clear();
      counts.Add(best_tokens.data(), best_tokens.size());
      exact.FromCounts(counts);
      Shake(&exact, &seed);
      for (int pass = 0; pass <= kExactPasses; ++pass) exact.FromCodes(parse(exact, kTunedRounds));
    }
    if (best_tokens.size() < 2 * kMinBlockTokens) {
      WriteBlock(best_tokens.data(), best_tokens.size(), *best_codes, out);
    } else {
      // Split into blocks, then parsed again under each block's own codes while that pays.
      best_sizes.clear();
      std::size_t planned = PlanBlocks(best_tokens.data(), best_tokens.size(), &best_sizes);
      for (int pass = 0; pass < kBlockPasses && best_sizes.size() > 1 && !incompressible; ++pass) {
        CostsOfBlocks(best_tokens, best_sizes, BlockStart::kCodes, stretch_bytes, &seed, &models,
                      &spans);
        parser.Parse(spans.data(), &tokens);
        sizes.clear();
        const std::size_t bits = PlanBlocks(tokens.data(), tokens.size(), &sizes);
        if (bits >= planned) break;
        planned = bits;
        best_tokens.swap(tokens);
        best_sizes.swap(sizes);
      }
      // Restarts as for the whole stretch: the first from each block's bytes counted as
      // literals, the others from each block's counts shaken.
      for (int restart = 0; restart < restarts && best_sizes.size() > 1; ++restart) {
        tokens = best_tokens;
        sizes = best_sizes;
        for (int pass = 0; pass <= kBlockPasses; ++pass) {
          const BlockStart start = pass > 0       ? BlockStart::kCodes
                                   : restart == 0 ? BlockStart::kBytes
                                                  : BlockStart::kShaken;
          CostsOfBlocks(tokens, sizes, start, stretch_bytes, &seed, &models, &spans);
          parser.Parse(spans.data(), &tokens);
          sizes.clear();
          const std::size_t bits = PlanBlocks(tokens.data(), tokens.size(), &sizes);
          if (bits < planned) {
            planned = bits;
            best_tokens = tokens;
            best_sizes = sizes;
          }
        }
      }
      WriteBlocks(best_tokens, best_sizes, out);
    }
    if (out.ByteCount() >= give_up) return false;
  }
  out.Finish();
  return true;
}

}  // namespace

bool PackHuffman(const std::uint8_t *data, std::size_t size, bool best, std::size_t give_up,
                 std::vector<std::uint8_t> *packed, MatchTables *tables) {
  return best ? PackBest(data, size, give_up, packed, tables)
              : PackLazy(data, size, give_up, packed, tables);
}

}  // namespace arjenc
