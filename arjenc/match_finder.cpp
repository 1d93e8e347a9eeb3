#include "arjenc/match_finder.h"

#include <algorithm>
#include <climits>

namespace arjenc {

namespace {

// The bits of the smallest power of two at or above n, within [low, high].
std::uint16_t Load16(const std::uint8_t *p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
std::uint32_t Load32(const std::uint8_t *p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

unsigned BitsFor(std::size_t n, unsigned low, unsigned high) {
  unsigned bits = low;
  while (bits < high && (std::size_t{1} << bits) < n) ++bits;
  return bits;
}

}  // namespace

MatchFinder::MatchFinder(const std::uint8_t *data, std::size_t size, unsigned max_distance,
                         MatchTables *tables)
    : data_(data), size_(size), max_distance_(max_distance) {
  // The sizes follow the input alone, so the packed form does not depend on what the tables
  // served before.
  const unsigned hash_bits = BitsFor(size, kMinHashBits, kHashBits);
  hash_shift_ = 32 - hash_bits;
  hash3_shift_ = 32 - (hash_bits - 1);
  // Below the ring's size every position has a slot of its own.
  const unsigned chain_bits = BitsFor(size, kMinChainBits, kChainBits);
  chain_mask_ = (1u << chain_bits) - 1;
  MatchTables &t = tables ? *tables : own_;
  const std::size_t heads = std::size_t{1} << hash_bits;
  const std::size_t links = std::size_t{1} << chain_bits;
  // Every entry an earlier input filed lies below its base plus its size; this input's
  // reach starts a whole window above that. Tables too small, or bases about to run out,
  // start again from empty.
  const std::uint64_t reach = std::uint64_t{size} + kMaxDistance;
  if (t.next_base == 0 || t.head.size() < heads || t.prev.size() < links ||
      t.next_base + reach > UINT32_MAX) {
    t.head.assign(std::max(heads, t.head.size()), 0);
    t.head3.assign(t.head.size() / 2, 0);
    t.prev.assign(std::max(links, t.prev.size()), 0);
    t.next_base = kTagOffset;
  }
  base_ = t.next_base;
  t.next_base = static_cast<std::uint32_t>(base_ + reach);
  head_ = t.head.data();
  head3_ = t.head3.data();
  prev_ = t.prev.data();
}

std::int32_t MatchFinder::Saving(const CostModel *costs, const Match &m) {
  if (!costs) return m.length;
  return static_cast<std::int32_t>(m.length * costs->average_literal) -
         static_cast<std::int32_t>(costs->MatchCost(m.length, m.distance));
}

template <typename Found>
void MatchFinder::WalkChain(const std::uint8_t *scan, std::uint32_t v, std::uint32_t here,
                            unsigned best_len, unsigned max_chain, unsigned limit,
                            Found found) const {
  const std::uint32_t oldest = here - max_distance_;
  // Chains link positions by their first four bytes; the nearest position with the same
  // first three is kept apart, so that three-byte matches are still found.
  if (best_len < kMinMatch) {
    best_len = kMinMatch - 1;
    const std::uint32_t cand = head3_[Hash3(v)];
    if (cand >= oldest) {
      const std::uint8_t *const m = data_ + (cand - base_);
      if (m[0] == scan[0] && m[1] == scan[1] && m[2] == scan[2]) {
        best_len = kMinMatch;
        if (!found(kMinMatch, here - cand)) return;
      }
    }
  }
  std::uint32_t cand = head_[Hash4(v)];
  while (cand >= oldest && max_chain-- != 0) {
    const std::uint8_t *const m = data_ + (cand - base_);
    // Cheap rejects first: the two bytes that end a longer match, then the first four
    // (which the hash may have mixed up).
    if (Load16(m + best_len - 1) == Load16(scan + best_len - 1) && Load32(m) == v) {
      const unsigned len = 4 + MatchLength(m + 4, scan + 4, limit - 4);
      if (len > best_len) {
        best_len = len;
        if (!found(len, here - cand)) return;
      }
    }
    cand = prev_[cand & chain_mask_];
  }
}

Match MatchFinder::Longest(std::size_t pos, unsigned at_least, unsigned max_chain, unsigned nice,
                           const CostModel *costs) {
  Match best;
  const unsigned limit = Limit(pos);
  if (limit < 4) return best;
  const std::uint8_t *const scan = data_ + pos;
  const std::uint32_t here = static_cast<std::uint32_t>(pos) + base_;
  std::uint32_t v;
  std::memcpy(&v, scan, 4);
  if (at_least < limit) {
    if (nice > limit) nice = limit;
    // With costs, a longer match further away must also save more than the nearer one.
    std::int32_t best_saving = INT32_MIN;
    WalkChain(scan, v, here, at_least, max_chain, limit, [&](unsigned len, unsigned distance) {
      const Match found{len, distance};
      const std::int32_t saving = Saving(costs, found);
      if (saving > best_saving) {
        best = found;
        best_saving = saving;
      }
      return len < nice;
    });
  }
  File(v, here);
  return best;
}

unsigned MatchFinder::AllLongest(std::size_t pos, unsigned max_chain, Match *out) {
  const unsigned limit = Limit(pos);
  if (limit < 4) return 0;
  const std::uint8_t *const scan = data_ + pos;
  const std::uint32_t here = static_cast<std::uint32_t>(pos) + base_;
  std::uint32_t v;
  std::memcpy(&v, scan, 4);
  unsigned n = 0;
  WalkChain(scan, v, here, 0, max_chain, limit, [&](unsigned len, unsigned distance) {
    out[n++] = Match{len, distance};
    return len < limit;
  });
  File(v, here);
  return n;
}

}  // namespace arjenc
