#include "arjenc/match_finder.h"

#include <algorithm>

namespace arjenc {

namespace {

// The bits of the smallest power of two at or above n, within [low, high].
unsigned BitsFor(std::size_t n, unsigned low, unsigned high) {
  unsigned bits = low;
  while (bits < high && (std::size_t{1} << bits) < n) ++bits;
  return bits;
}

}  // namespace

MatchFinder::MatchFinder(const std::uint8_t *data, std::size_t size, unsigned max_distance,
                         MatchTables *tables, bool small_chains, bool five_byte_chains) {
  // The sizes follow the input alone, so the packed form does not depend on what the tables
  // served before.
  const unsigned hash_bits = BitsFor(size, kMinHashBits, kHashBits);
  state_.data = data;
  state_.size = size;
  state_.max_distance = max_distance;
  state_.three_byte_chains = small_chains && size <= kSmallInput;
  state_.five_byte_chains = five_byte_chains && !state_.three_byte_chains;
  state_.hash_shift = 32 - hash_bits;
  state_.hash3_shift = 32 - (hash_bits - 1);
  // Below the ring's size every position has a slot of its own.
  const unsigned chain_bits = BitsFor(size, kMinChainBits, kChainBits);
  state_.chain_mask = (1u << chain_bits) - 1;
  MatchTables &t = tables ? *tables : own_;
  // Every position of a small input is within reach of every other.
  if (state_.three_byte_chains && max_distance >= size) {
    UseNarrowTables(t);
    return;
  }
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
    t.head4.assign(t.head.size(), 0);
    t.prev.assign(std::max(links, t.prev.size()), 0);
    t.next_base = kTagOffset;
  }
  state_.base = t.next_base;
  t.next_base = static_cast<std::uint32_t>(state_.base + reach);
  state_.head = t.head.data();
  state_.head3 = t.head3.data();
  state_.head4 = t.head4.data();
  state_.prev = t.prev.data();
}

void MatchFinder::UseNarrowTables(MatchTables &t) {
  static_assert(kMinHashBits == NarrowFinderState::kSmallHashBits,
                "small inputs: the least hash bits");
  narrow_ = true;
  NarrowFinderState &n = narrow_state_;
  n.data = state_.data;
  n.size = state_.size;
  n.max_distance = state_.max_distance;
  n.chain_mask = state_.chain_mask;
  n.hash_shift = state_.hash_shift;
  n.hash3_shift = state_.hash3_shift;
  n.three_byte_chains = true;
  n.five_byte_chains = false;
  const std::size_t heads = std::size_t{1} << kMinHashBits;
  const std::size_t links = std::size_t{state_.chain_mask} + 1;
  // Positions filed plus the base stay below 2^16, and 0 is never one of them.
  constexpr std::uint32_t kNarrowLimit = 0x10000;
  if (t.narrow_next_base == 0 || t.narrow_prev.size() < links ||
      t.narrow_next_base + state_.size > kNarrowLimit) {
    t.narrow_head.assign(heads, 0);
    if (t.narrow_prev.size() < links) t.narrow_prev.assign(links, 0);
    t.narrow_next_base = 1;
  }
  n.base = t.narrow_next_base;
  t.narrow_next_base = static_cast<std::uint32_t>(n.base + state_.size);
  n.head = t.narrow_head.data();
  n.head3 = nullptr;
  n.head4 = nullptr;
  n.prev = t.narrow_prev.data();
}

Match MatchFinder::Longest(std::size_t pos, unsigned at_least, unsigned max_chain, unsigned nice,
                           const CostModel *costs) {
  if (narrow_ || !costs) return OtherLongest(pos, at_least, max_chain, nice, costs);
  return state_.LongestWeighed(pos, at_least, max_chain, nice, *costs);
}

Match MatchFinder::OtherLongest(std::size_t pos, unsigned at_least, unsigned max_chain,
                                unsigned nice, const CostModel *costs) {
  if (!narrow_) return state_.Longest(pos, at_least, max_chain, nice);
  if (!costs) return narrow_state_.Longest(pos, at_least, max_chain, nice);
  return narrow_state_.LongestWeighed(pos, at_least, max_chain, nice, *costs);
}

template <typename Chains>
inline unsigned MatchFinder::AllLongestIn(const Chains &s, std::size_t pos, unsigned max_chain,
                                          Match *out) {
  const unsigned limit = s.Limit(pos);
  if (limit < 4) return 0;
  const std::uint8_t *const scan = s.data + pos;
  const std::uint32_t here = static_cast<std::uint32_t>(pos) + s.base;
  std::uint32_t v;
  std::memcpy(&v, scan, 4);
  unsigned n = 0;
  s.WalkChain(scan, v, here, 0, max_chain, limit, [&](unsigned len, unsigned distance) {
    out[n++] = Match{len, distance};
    return len < limit;
  });
  s.File(v, here);
  return n;
}

unsigned MatchFinder::AllLongest(std::size_t pos, unsigned max_chain, Match *out) {
  return narrow_ ? AllLongestIn(narrow_state_, pos, max_chain, out)
                 : AllLongestIn(state_, pos, max_chain, out);
}

}  // namespace arjenc
