#include "arjenc/best_packer.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "arjenc/bit_writer.h"
#include "arjenc/block_plan.h"
#include "arjenc/cost_model.h"
#include "arjenc/huffman_block.h"
#include "arjenc/optimal_parser.h"
#include "arjenc/tuned_codes.h"

namespace arjenc {
namespace {

// --best: stretches of 160 KiB parsed three times over, each time under the costs the
// counts of the parse before give, searched up to 1024 positions deep. Stretches of 128 to
// 192 KiB came out smaller than of 256 KiB (heads are a small part of a block that large).
constexpr std::size_t kBestStretch = 160 * 1024;
constexpr int kBestPasses = 3;
constexpr unsigned kBestChain = 1024;
// Within a match this long, positions are searched only this deep and their matches weighed
// at their whole lengths: nearly what full searches find there, and long repeats do not
// take five times as long.
constexpr unsigned kBestTakeWhole = 192;
constexpr unsigned kBestInsideChain = 16;
// Passes more under the costs of the codes the best pass gives, in whole bits.
constexpr int kExactPasses = 2;
// Parses more from shaken costs (see Shake), each followed by kExactPasses.
constexpr int kRestarts = 8;
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
constexpr int kBlockPasses = 4;

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
    counts.Count(at, n);
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
    counts.Count(at, sizes[b]);
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

// The stretches of one input, one after the other. The costs the first passes end with carry
// over to the next stretch's first pass.
class StretchPacker {
 public:
  StretchPacker(const std::uint8_t *data, std::size_t size, MatchTables *tables)
      : data_(data),
        parser_(data, size, kMaxDistance, kBestChain, kBestTakeWhole, tables, kBestInsideChain) {
    costs_.Initial();
  }

  // Packs the next stretch into out; false when the input has ended.
  bool PackNext(BitWriter &out);

 private:
  // Parses the stretch under the costs; keeps the parse when its block (in the codes chosen
  // with this many rounds of tuning) comes out smaller than the best so far. Returns the
  // codes this parse chose; leaves its counts in counts_.
  BlockCodes Parse(const CostModel &under, int rounds);
  void FirstPasses();
  void ExactPasses();
  void LeaveOutRareLengths();
  void Restarts(int restarts, std::uint32_t *seed);
  // Cuts the best parse into blocks, parses again under their codes while that pays, and
  // writes them. bytes: the stretch's.
  void WriteSplit(const std::uint8_t *bytes, bool refine, int restarts, std::uint32_t *seed,
                  BitWriter &out);

  const std::uint8_t *data_;
  std::size_t done_ = 0;  // bytes in the stretches before
  OptimalParser parser_;
  CostModel costs_, exact_;
  std::vector<Token> tokens_, best_tokens_;
  std::vector<std::size_t> sizes_, best_sizes_;
  std::vector<CostModel> models_;
  std::vector<OptimalParser::CostSpan> spans_;
  BlockCounts counts_;
  std::size_t best_bits_ = SIZE_MAX;
  std::optional<BlockCodes> best_codes_;
};

BlockCodes StretchPacker::Parse(const CostModel &under, int rounds) {
  parser_.Parse(under, &tokens_);
  counts_.Count(tokens_.data(), tokens_.size());
  const BlockCodes codes = TunedCodes(counts_, rounds);
  const std::size_t bits = BlockBits(counts_, codes);
  if (bits < best_bits_) {
    best_bits_ = bits;
    best_tokens_.swap(tokens_);
    best_codes_ = codes;
  }
  return codes;
}

void StretchPacker::FirstPasses() {
  for (int pass = 0; pass < kBestPasses; ++pass) {
    // Early passes only steer the next: one round of tuning serves them.
    Parse(costs_, pass + 1 < kBestPasses ? 1 : kTunedRounds);
    // Fractions of bits, not the codes' whole bits: the next parse is not held to
    // the steps between code lengths.
    costs_.FromCounts(counts_);
  }
}

// Then under the whole-bit codes that will be written, while that pays.
void StretchPacker::ExactPasses() {
  for (int pass = 0; pass < kExactPasses; ++pass) {
    const std::size_t before = best_bits_;
    exact_.FromCodes(*best_codes_);
    Parse(exact_, kTunedRounds);
    if (best_bits_ == before) break;
  }
}

// A small block's head is a large part of it: each match length used once or twice is
// tried left out (its entry in the head and the zeros around it may cost more than the
// longer way round), kept out when the block comes out smaller.
void StretchPacker::LeaveOutRareLengths() {
  bool left_out[kSymbolCount] = {};
  for (unsigned times = 1; times <= kRareUses; ++times) {
    counts_.Count(best_tokens_.data(), best_tokens_.size());
    const BlockCounts before_leaving = counts_;
    for (unsigned s = kLengthSymbolBase + kMinMatch; s < kSymbolCount; ++s) {
      if (before_leaving.symbols[s] != times) continue;
      left_out[s] = true;
      exact_.FromCodes(*best_codes_);
      for (unsigned k = 0; k < kSymbolCount; ++k) {
        if (left_out[k]) exact_.symbol[k] = kLeftOutCost;
      }
      const std::size_t before = best_bits_;
      Parse(exact_, kTunedRounds);
      if (best_bits_ == before) left_out[s] = false;
    }
  }
}

// The passes settle where the parse and the codes suit each other, not always the
// smallest: parses from the best costs shaken a little, each followed by parses under
// its own whole-bit codes, find other such places.
void StretchPacker::Restarts(int restarts, std::uint32_t *seed) {
  for (int restart = 0; restart < restarts; ++restart) {
    counts_.Count(best_tokens_.data(), best_tokens_.size());
    exact_.FromCounts(counts_);
    Shake(&exact_, seed);
    for (int pass = 0; pass <= kExactPasses; ++pass) exact_.FromCodes(Parse(exact_, kTunedRounds));
  }
}

void StretchPacker::WriteSplit(const std::uint8_t *bytes, bool refine, int restarts,
                               std::uint32_t *seed, BitWriter &out) {
  best_sizes_.clear();
  std::size_t planned = PlanBlocks(best_tokens_.data(), best_tokens_.size(), &best_sizes_);
  for (int pass = 0; pass < kBlockPasses && best_sizes_.size() > 1 && refine; ++pass) {
    CostsOfBlocks(best_tokens_, best_sizes_, BlockStart::kCodes, bytes, seed, &models_, &spans_);
    parser_.Parse(spans_.data(), &tokens_);
    sizes_.clear();
    const std::size_t bits = PlanBlocks(tokens_.data(), tokens_.size(), &sizes_);
    if (bits >= planned) break;
    planned = bits;
    best_tokens_.swap(tokens_);
    best_sizes_.swap(sizes_);
  }
  // Restarts as for the whole stretch: the first from each block's bytes counted as
  // literals, the others from each block's counts shaken.
  for (int restart = 0; restart < restarts && best_sizes_.size() > 1; ++restart) {
    tokens_ = best_tokens_;
    sizes_ = best_sizes_;
    for (int pass = 0; pass <= kBlockPasses; ++pass) {
      const BlockStart start = pass > 0       ? BlockStart::kCodes
                               : restart == 0 ? BlockStart::kBytes
                                              : BlockStart::kShaken;
      CostsOfBlocks(tokens_, sizes_, start, bytes, seed, &models_, &spans_);
      parser_.Parse(spans_.data(), &tokens_);
      sizes_.clear();
      const std::size_t bits = PlanBlocks(tokens_.data(), tokens_.size(), &sizes_);
      if (bits < planned) {
        planned = bits;
        best_tokens_ = tokens_;
        best_sizes_ = sizes_;
      }
    }
  }
  WriteBlocks(best_tokens_, best_sizes_, out);
}

bool StretchPacker::PackNext(BitWriter &out) {
  const std::size_t stretch = parser_.NextStretch(kBestStretch);
  if (stretch == 0) return false;
  const std::uint8_t *const bytes = data_ + done_;
  done_ += stretch;
  best_bits_ = SIZE_MAX;
  best_codes_.reset();
  FirstPasses();
  // A stretch that does not get smaller than its bytes gains next to nothing from the
  // passes below: noise would take seconds a megabyte for nothing.
  const bool refine = best_bits_ < 8 * stretch;
  std::uint32_t seed = kShakeSeed;
  int restarts = 0;
  if (refine) {
    ExactPasses();
    if (best_tokens_.size() < kSmallTokens) LeaveOutRareLengths();
    if (best_tokens_.size() >= kSmallTokens) restarts = kRestarts;
    Restarts(restarts, &seed);
  }
  if (best_tokens_.size() < 2 * kMinBlockTokens) {
    WriteBlock(best_tokens_.data(), best_tokens_.size(), *best_codes_, out);
  } else {
    WriteSplit(bytes, refine, restarts, &seed, out);
  }
  return true;
}

}  // namespace

bool PackBest(const std::uint8_t *data, std::size_t size, std::size_t give_up,
              std::vector<std::uint8_t> *packed, MatchTables *tables) {
  BitWriter out(packed);
  StretchPacker stretches(data, size, tables);
  while (stretches.PackNext(out)) {
    if (out.ByteCount() >= give_up) return false;
  }
  out.Finish();
  return true;
}

}  // namespace arjenc
