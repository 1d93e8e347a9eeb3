#include "arjenc/match_finder.h"

#include <climits>

namespace arjenc {

namespace {

// The bits of the smallest power of two at or above n, within [low, high].
unsigned BitsFor(std::size_t n, unsigned low, unsigned high) {
  unsigned bits = low;
  while (bits < high && (std::size_t{1} << bits) < n) ++bits;
  return bits;
}

}  // namespace

MatchFinder::MatchFinder(const std::uint8_t *data, std::size_t size, unsigned max_distance)
    : data_(data), size_(size), max_distance_(max_distance) {
  const unsigned hash_bits = BitsFor(size, kMinHashBits, kHashBits);
  hash_shift_ = 32 - hash_bits;
  hash3_shift_ = 32 - (hash_bits - 1);
  // Below the ring's size every position has a slot of its own.
  const unsigned chain_bits = BitsFor(size, kMinHashBits, kChainBits);
  chain_mask_ = (1u << chain_bits) - 1;
  head_.assign(std::size_t{1} << hash_bits, 0);
  head3_.assign(std::size_t{1} << (hash_bits - 1), 0);
  prev_.assign(std::size_t{1} << chain_bits, 0);
}

// A match of three bytes at the nearest position filed under the same three-byte hash.
Match MatchFinder::Nearest3(const std::uint8_t *scan, std::uint32_t here) const {
  const std::uint32_t cand = head3_[Hash3(scan)];
  if (cand < here - max_distance_) return Match{};
  const std::uint8_t *const m = data_ + (cand - kTagOffset);
  if (m[0] != scan[0] || m[1] != scan[1] || m[2] != scan[2]) return Match{};
  return Match{kMinMatch, here - cand};
}

std::int64_t MatchFinder::Saving(const CostModel *costs, const Match &m) {
  if (!costs) return m.length;
  return static_cast<std::int64_t>(m.length) * costs->average_literal -
         static_cast<std::int64_t>(costs->MatchCost(m.length, m.distance));
}

Match MatchFinder::Longest(std::size_t pos, unsigned at_least, unsigned max_chain, unsigned nice,
                           const CostModel *costs) const {
  Match best;
  const unsigned limit = Limit(pos);
  if (limit < 4 || at_least >= limit) return best;
  const std::uint8_t *const scan = data_ + pos;
  const std::uint32_t here = static_cast<std::uint32_t>(pos) + kTagOffset;
  const std::uint32_t oldest = here - max_distance_;
  unsigned best_len = at_least < kMinMatch - 1 ? kMinMatch - 1 : at_least;
  if (best_len < kMinMatch) {
    best = Nearest3(scan, here);
    if (best.length) best_len = kMinMatch;
  }
  // With costs, a longer match further away must also save more than the nearer one.
  std::int64_t best_saving = best.length ? Saving(costs, best) : INT64_MIN;
  if (nice > limit) nice = limit;
  std::uint32_t cand = head_[Hash4(scan)];
  while (cand >= oldest && max_chain-- != 0) {
    const std::uint8_t *const m = data_ + (cand - kTagOffset);
    // Cheap rejects first: the byte that would make the match longer, then the start.
    if (m[best_len] == scan[best_len] && m[0] == scan[0] && m[1] == scan[1]) {
      const unsigned len = MatchLength(m, scan, limit);
      if (len > best_len) {
        best_len = len;
        const Match found{len, here - cand};
        const std::int64_t saving = Saving(costs, found);
        if (saving > best_saving) {
          best = found;
          best_saving = saving;
        }
        if (len >= nice) break;
      }
    }
    cand = prev_[cand & chain_mask_];
  }
  return best;
}

unsigned MatchFinder::AllLongest(std::size_t pos, unsigned max_chain, Match *out) const {
  const unsigned limit = Limit(pos);
  if (limit < 4) return 0;
  const std::uint8_t *const scan = data_ + pos;
  const std::uint32_t here = static_cast<std::uint32_t>(pos) + kTagOffset;
  const std::uint32_t oldest = here - max_distance_;
  unsigned best_len = kMinMatch - 1;
  unsigned n = 0;
  const Match three = Nearest3(scan, here);
  if (three.length) {
    out[n++] = three;
    best_len = kMinMatch;
  }
  std::uint32_t cand = head_[Hash4(scan)];
  while (cand >= oldest && max_chain-- != 0) {
    const std::uint8_t *const m = data_ + (cand - kTagOffset);
    if (m[best_len] == scan[best_len] && m[0] == scan[0] && m[1] == scan[1]) {
      const unsigned len = MatchLength(m, scan, limit);
      if (len > best_len) {
        best_len = len;
        out[n++] = Match{len, here - cand};
        if (len >= limit) break;
      }
    }
    cand = prev_[cand & chain_mask_];
  }
  return n;
}

}  // namespace arjenc
