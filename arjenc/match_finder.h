// Hash chains over the window: every position is filed under a hash of its first three
// bytes, newest first, so a search walks the earlier occurrences from the nearest on.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "arjenc/cost_model.h"
#include "arjenc/packed_form.h"

namespace arjenc {

struct Match {
  unsigned length = 0;    // 0: none
  unsigned distance = 0;  // 1 to the finder's maximum distance
};

// How long the bytes at a and b agree, up to limit; b lies after a.
inline unsigned MatchLength(const std::uint8_t *a, const std::uint8_t *b, unsigned limit) {
  unsigned n = 0;
  using Word = std::size_t;  // 8 bytes at a time on 64-bit builds, 4 on 32-bit ones
  while (n + sizeof(Word) <= limit) {
    Word x, y;
    std::memcpy(&x, a + n, sizeof x);
    std::memcpy(&y, b + n, sizeof y);
    if (x != y) {
      const Word d = x ^ y;
      const unsigned bit = sizeof(Word) == 8 ? static_cast<unsigned>(__builtin_ctzll(d))
                                             : static_cast<unsigned>(__builtin_ctz(d));
      return n + bit / 8;  // little-endian: the first differing byte is the lowest
    }
    n += sizeof(Word);
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// The finder's hash heads and chain links, kept from one input to the next: positions are
// filed with a base above every earlier input's reach, so what those left behind is out of
// reach like an empty entry, and a small input clears nothing.
struct MatchTables {
  std::vector<std::uint32_t> head;
  std::vector<std::uint32_t> head3;
  std::vector<std::uint32_t> head4;
  std::vector<std::uint32_t> prev;
  std::uint32_t next_base = 0;  // 0: nothing filed yet
  // Narrow tables for small inputs (see MatchFinder): the same scheme in 16 bits, cleared
  // when the bases run out, after some dozens of inputs.
  std::vector<std::uint16_t> narrow_head;
  std::vector<std::uint16_t> narrow_prev;
  std::uint32_t narrow_next_base = 0;
};

// One input's view of the tables: plain values that a parse loop can hold in registers
// (members of a class it calls into would be read again after every store to a table).
// Entry: the tables' type. Narrow (16-bit) tables serve inputs of at most kSmallInput bytes
// alone, all within reach of each other: chains by three bytes, the least hash bits, and
// nothing out of reach but what earlier inputs filed, all as constants.
template <typename Entry>
struct ChainState {
  static constexpr bool kNarrow = sizeof(Entry) < sizeof(std::uint32_t);
  static constexpr std::size_t kSmallInput = std::size_t{1} << 13;
  static constexpr unsigned kSmallHashBits = 13;

  const std::uint8_t *data;
  std::size_t size;
  std::uint32_t base;  // added to each position filed
  std::uint32_t max_distance;
  std::uint32_t chain_mask;
  unsigned hash_shift;
  unsigned hash3_shift;
  // Chains by the first three bytes alone, with no table apart (see MatchFinder).
  bool three_byte_chains;
  // Chains by the first five bytes, the nearest four-byte match kept apart (see MatchFinder).
  bool five_byte_chains;
  Entry *head;
  Entry *head3;
  Entry *head4;
  Entry *prev;

  // Chains link positions by their first four (or five) bytes; the nearest position with the
  // same first three (and four) is kept apart, so that shorter matches are still found.
  std::uint32_t Hash4(std::uint32_t v) const { return (v * 0x9E3779B1u) >> hash_shift; }
  std::uint32_t Hash3(std::uint32_t v) const {
    return ((v & 0xFFFFFFu) * 0x9E3779B1u) >> hash3_shift;
  }
  std::uint32_t Hash5(std::uint32_t v, std::uint32_t fifth) const {
    return (v * 0x9E3779B1u + fifth * 0x85EBCA77u) >> hash_shift;
  }
  // The fifth byte at pos, 0 past the end.
  std::uint32_t Fifth(std::size_t pos) const { return pos + 4 < size ? data[pos + 4] : 0; }
  std::uint32_t ChainHash(std::uint32_t v, std::uint32_t fifth) const {
    if (kNarrow) return ((v & 0xFFFFFFu) * 0x9E3779B1u) >> (32 - kSmallHashBits);
    if (three_byte_chains) return ((v & 0xFFFFFFu) * 0x9E3779B1u) >> hash_shift;
    return five_byte_chains ? Hash5(v, fifth) : Hash4(v);
  }
  // The first four bytes at a position read as one word, and that position plus the base.
  void File(std::uint32_t v, std::uint32_t tagged) const {
    const std::uint32_t fifth = !kNarrow && five_byte_chains ? Fifth(tagged - base) : 0;
    const std::uint32_t h = ChainHash(v, fifth);
    prev[tagged & chain_mask] = head[h];
    head[h] = static_cast<Entry>(tagged);
    if (!kNarrow && !three_byte_chains) {
      head3[Hash3(v)] = static_cast<Entry>(tagged);
      if (five_byte_chains) head4[Hash4(v)] = static_cast<Entry>(tagged);
    }
  }
  // Files pos under its hashes; positions are filed in increasing order. Four bytes are
  // read for the hashes; the last three positions file no matches.
  void Insert(std::size_t pos) const {
    if (pos + 4 > size) return;
    std::uint32_t v;
    std::memcpy(&v, data + pos, 4);
    File(v, static_cast<std::uint32_t>(pos) + base);
  }
  unsigned Limit(std::size_t pos) const {
    const std::size_t left = size - pos;
    return left < kMaxMatch ? static_cast<unsigned>(left) : kMaxMatch;
  }

  // Calls found(length, distance) for each match at scan longer than best_len and than
  // those before it, nearest first, until it returns false or the chain ends. Inlined
  // always: as a call, its arguments and saved registers cost about as much as a short
  // walk.
  template <typename Found>
  __attribute__((always_inline)) void WalkChain(const std::uint8_t *scan, std::uint32_t v,
                                                std::uint32_t here, unsigned best_len,
                                                unsigned max_chain, unsigned limit,
                                                Found found) const {
    const std::uint32_t oldest = kNarrow ? base : here - max_distance;
    if (best_len < kMinMatch) best_len = kMinMatch - 1;
    if (kNarrow || three_byte_chains) {
      WalkFrom<3>(head[ChainHash(v, 0)], scan, v, here, oldest, best_len, max_chain, limit, found);
      return;
    }
    if (best_len < kMinMatch) {
      const std::uint32_t cand = head3[Hash3(v)];
      if (cand >= oldest) {
        const std::uint8_t *const m = data + (cand - base);
        if (m[0] == scan[0] && m[1] == scan[1] && m[2] == scan[2]) {
          best_len = kMinMatch;
          if (!found(kMinMatch, here - cand)) return;
        }
      }
    }
    if (!five_byte_chains) {
      WalkFrom<4>(head[Hash4(v)], scan, v, here, oldest, best_len, max_chain, limit, found);
      return;
    }
    if (best_len < 4) {
      const std::uint32_t cand = head4[Hash4(v)];
      if (cand >= oldest) {
        const std::uint8_t *const m = data + (cand - base);
        std::uint32_t first;
        std::memcpy(&first, m, 4);
        if (first == v) {
          const unsigned len = 4 + MatchLength(m + 4, scan + 4, limit - 4);
          best_len = len;
          if (!found(len, here - cand)) return;
        }
      }
    }
    const std::uint32_t fifth = limit > 4 ? scan[4] : 0;
    WalkFrom<4>(head[Hash5(v, fifth)], scan, v, here, oldest, best_len, max_chain, limit, found);
  }

  // The walk along a chain from cand, whose positions share their first kPrefix bytes
  // unless the hash mixed them up.
  template <unsigned kPrefix, typename Found>
  __attribute__((always_inline)) void WalkFrom(std::uint32_t cand, const std::uint8_t *scan,
                                               std::uint32_t v, std::uint32_t here,
                                               std::uint32_t oldest, unsigned best_len,
                                               unsigned max_chain, unsigned limit,
                                               Found found) const {
    constexpr std::uint32_t kPrefixMask = kPrefix == 4 ? 0xFFFFFFFFu : (1u << (8 * kPrefix)) - 1;
    while (cand >= oldest && max_chain-- != 0) {
      const std::uint8_t *const m = data + (cand - base);
      // Cheap rejects first: the two bytes that end a longer match, then the prefix.
      std::uint16_t end_m, end_scan;
      std::memcpy(&end_m, m + best_len - 1, 2);
      std::memcpy(&end_scan, scan + best_len - 1, 2);
      std::uint32_t first;
      std::memcpy(&first, m, 4);
      if (end_m == end_scan && ((first ^ v) & kPrefixMask) == 0) {
        const unsigned len = kPrefix + MatchLength(m + kPrefix, scan + kPrefix, limit - kPrefix);
        if (len > best_len) {
          best_len = len;
          if (!found(len, here - cand)) return;
        }
      }
      cand = prev[cand & chain_mask];
    }
  }

  // The longest match at pos longer than at_least (nearest among equals), walking at most
  // max_chain earlier positions and stopping at the first of nice bytes or more; then
  // files pos. Inlined always, into the parse loops above all.
  __attribute__((always_inline)) Match Longest(std::size_t pos, unsigned at_least,
                                               unsigned max_chain, unsigned nice) const {
    return Search(pos, at_least, max_chain, nice, [](const Match &) { return true; });
  }

  // Longest, but with costs: a longer match further away is taken only where it also saves
  // more bits against literals of average cost than the nearer one.
  __attribute__((always_inline)) Match LongestWeighed(std::size_t pos, unsigned at_least,
                                                      unsigned max_chain, unsigned nice,
                                                      const CostModel &costs) const {
    std::int32_t best_saving = INT32_MIN;
    return Search(pos, at_least, max_chain, nice, [&](const Match &found) {
      // Sixteenths of a bit, as the costs: 32 bits hold any match's.
      const std::int32_t saving =
          static_cast<std::int32_t>(found.length * costs.average_literal) -
          static_cast<std::int32_t>(costs.MatchCost(found.length, found.distance));
      if (saving <= best_saving) return false;
      best_saving = saving;
      return true;
    });
  }

  // The search both share: each longer match found is kept when better(match) says so.
  template <typename Better>
  __attribute__((always_inline)) Match Search(std::size_t pos, unsigned at_least,
                                              unsigned max_chain, unsigned nice,
                                              Better better) const {
    Match best;
    const unsigned limit = Limit(pos);
    if (limit < 4) return best;
    const std::uint8_t *const scan = data + pos;
    const std::uint32_t here = static_cast<std::uint32_t>(pos) + base;
    std::uint32_t v;
    std::memcpy(&v, scan, 4);
    if (at_least < limit) {
      if (nice > limit) nice = limit;
      WalkChain(scan, v, here, at_least, max_chain, limit, [&](unsigned len, unsigned distance) {
        const Match found{len, distance};
        if (better(found)) best = found;
        return len < nice;
      });
    }
    File(v, here);
    return best;
  }
};

using FinderState = ChainState<std::uint32_t>;
using NarrowFinderState = ChainState<std::uint16_t>;

class MatchFinder {
 public:
  // tables: kept by the caller across inputs, or null for tables of the finder's own.
  // small_chains: an input of at most kSmallInput bytes is searched along chains by its
  // first three bytes alone. Fewer tables to keep up at each position; for small inputs
  // the chains stay short enough that a three-byte match rarely pushes a longer one out
  // of reach. five_byte_chains: larger inputs are searched along chains by their first five
  // bytes, the nearest four-byte match kept apart: fewer positions on a chain that cannot
  // beat the match in hand, for searches that stop after a few (not for walks that want a
  // match of every length).
  MatchFinder(const std::uint8_t *data, std::size_t size, unsigned max_distance,
              MatchTables *tables = nullptr, bool small_chains = false,
              bool five_byte_chains = false);
  MatchFinder(const MatchFinder &) = delete;
  MatchFinder &operator=(const MatchFinder &) = delete;

  // Files pos under its hashes; positions are filed in increasing order. The searches file
  // the position they search themselves.
  void Insert(std::size_t pos) {
    if (narrow_) {
      narrow_state_.Insert(pos);
    } else {
      state_.Insert(pos);
    }
  }
  void InsertRange(std::size_t from, std::size_t to) {
    for (std::size_t p = from; p < to; ++p) Insert(p);
  }

  // The longest match at pos longer than at_least (nearest among equals), walking at most
  // max_chain earlier positions and stopping at the first of nice bytes or more; then
  // files pos. With costs, a longer match is preferred only where it saves more bits
  // against literals of average cost.
  Match Longest(std::size_t pos, unsigned at_least, unsigned max_chain, unsigned nice,
                const CostModel *costs = nullptr);

  // Every match at pos that is longer than the ones nearer to it: lengths grow and
  // distances grow along the result; then files pos. Returns how many were written to
  // out (at most kMaxMatch - kMinMatch + 1).
  unsigned AllLongest(std::size_t pos, unsigned max_chain, Match *out);

  unsigned Limit(std::size_t pos) const { return state_.Limit(pos); }

  // Whether the input is searched in narrow tables (see ChainState): then its state is
  // NarrowState(), else State().
  bool Narrow() const { return narrow_; }
  const NarrowFinderState &NarrowState() const { return narrow_state_; }

  // The state for a loop of its own when the tables are not narrow (they are shared: what
  // it files, the finder sees).
  const FinderState &State() const { return state_; }

  // Inputs up to this size get the smallest hash tables; with small_chains, narrow ones.
  static constexpr std::size_t kSmallInput = NarrowFinderState::kSmallInput;

 private:
  // Tables for large inputs; small ones get smaller tables, cheaper to set up.
  static constexpr unsigned kHashBits = 16;  // fewer strangers on the chains than 15
  // Sparse hash tables even for small inputs: three-byte matches lost to collisions cost
  // more than clearing them.
  static constexpr unsigned kMinHashBits = 13;
  static_assert(kSmallInput == std::size_t{1} << kMinHashBits, "small inputs: the least hash bits");
  static constexpr unsigned kMinChainBits = 10;
  static constexpr unsigned kChainBits = 15;  // a power of two above the window
  // Positions are stored plus a base of at least this, so an empty entry (0) is always out
  // of reach.
  static constexpr std::uint32_t kTagOffset = 0x10000;

  // Inlined always into their callers, one for each kind of table.
  template <typename Chains>
  __attribute__((always_inline)) static unsigned AllLongestIn(const Chains &s, std::size_t pos,
                                                              unsigned max_chain, Match *out);
  // Longest but for a weighed search in wide tables, kept apart from it: the parse loops
  // make the others inline, and the one call that weighs is the leaner for it.
  __attribute__((noinline)) Match OtherLongest(std::size_t pos, unsigned at_least,
                                               unsigned max_chain, unsigned nice,
                                               const CostModel *costs);
  void UseNarrowTables(MatchTables &t);

  FinderState state_;
  bool narrow_ = false;
  NarrowFinderState narrow_state_;
  MatchTables own_;
};

}  // namespace arjenc
