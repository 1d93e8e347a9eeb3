#include "arjenc/tuned_codes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace arjenc {
namespace {

// A complete code fills the code space: 2^16 units, a length L takes 2^(16 - L) of them.
constexpr std::uint32_t kFullSpace = 1u << kMaxCodeLength;
// Prices are counted in 256ths of a bit, in integers: the same choices on every machine.
using Price = std::int64_t;
constexpr Price kBit = 256;
// Steps of the search for the price of code space, over 2^-8 to 2^24 bits a unit.
constexpr int kSearchSteps = 12;
constexpr std::uint64_t kLowestRate = 1;
constexpr std::uint64_t kHighestRate = std::uint64_t{1} << 32;

// A length code the head's table leaves out is priced as a little longer than the longest.
constexpr unsigned kUnusedLengthCodeExtra = 2;

// What a choice of lengths for one alphabet costs beyond count * length: price[L] for a
// length L of 1 to 16, zero_price[s] for leaving symbol s out (only a symbol that does not
// occur may be left out).
struct Prices {
  Price length[kMaxCodeLength + 1];
  Price zero[kSymbolCount];
};

std::uint32_t Space(unsigned length) { return kFullSpace >> length; }

// The whole square root of x.
std::uint64_t SquareRoot(std::uint64_t x) {
  std::uint64_t root = 0;
  for (std::uint64_t bit = std::uint64_t{1} << 62; bit != 0; bit >>= 2) {
    if (x >= root + bit) {
      x -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
  }
  return root;
}

// What a symbol that does not occur costs at the length it would get.
Price UnusedCost(const Prices &prices, std::uint64_t rate, unsigned length) {
  return prices.length[length] + static_cast<Price>(rate * Space(length));
}

// The cheapest length for a symbol of this count when code space costs rate bits a unit.
unsigned CheapestLength(std::uint32_t count, const Prices &prices, std::uint64_t rate) {
  unsigned best_length = 1;
  Price best = INT64_MAX;
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    const Price cost =
        Price{count} * len * kBit + prices.length[len] + static_cast<Price>(rate * Space(len));
    if (cost < best) {
      best = cost;
      best_length = len;
    }
  }
  return best_length;
}

// The symbols of one alphabet grouped for the search: those that occur by distinct count
// (equal counts get equal lengths, so each is weighed once), and those that do not.
struct Groups {
  std::uint32_t count[kSymbolCount];
  std::uint32_t members[kSymbolCount];
  unsigned n = 0;
  std::uint8_t length[kSymbolCount];
  // The prices of leaving out the symbols that do not occur, highest first.
  Price zero_price[kSymbolCount];
  unsigned zeros = 0;

  Groups(const std::uint32_t *counts, unsigned alphabet, const Prices &prices) {
    std::uint32_t sorted[kSymbolCount];
    unsigned used = 0;
    for (unsigned s = 0; s < alphabet; ++s) {
      if (counts[s]) {
        sorted[used++] = counts[s];
      } else {
        zero_price[zeros++] = prices.zero[s];
      }
    }
    std::sort(sorted, sorted + used);
    std::sort(zero_price, zero_price + zeros, [](Price a, Price b) { return a > b; });
    for (unsigned i = 0; i < used; ++i) {
      if (n == 0 || count[n - 1] != sorted[i]) {
        count[n] = sorted[i];
        members[n++] = 0;
      }
      ++members[n - 1];
    }
  }
};

// Lengths for the groups at one rate of code space; returns the space they take and sets
// *unused_length, the length a symbol that does not occur gets when it is not left out.
std::uint32_t LengthsAtRate(Groups &groups, const Prices &prices, std::uint64_t rate,
                            unsigned *unused_length) {
  *unused_length = CheapestLength(0, prices, rate);
  const Price unused_cost = UnusedCost(prices, rate, *unused_length);
  std::uint32_t space = 0;
  for (unsigned g = 0; g < groups.n; ++g) {
    groups.length[g] = static_cast<std::uint8_t>(CheapestLength(groups.count[g], prices, rate));
    space += groups.members[g] * Space(groups.length[g]);
  }
  // Those whose leaving out costs more than a length of their own get one.
  const unsigned given = static_cast<unsigned>(
      std::upper_bound(groups.zero_price, groups.zero_price + groups.zeros, unused_cost,
                       [](Price cost, Price price) { return price <= cost; }) -
      groups.zero_price);
  return space + given * Space(*unused_length);
}

Price Cost(std::uint32_t count, unsigned length, const Prices &prices) {
  return Price{count} * length * kBit + prices.length[length];
}

// How many symbols of one count have each length, while a code is completed: symbols of
// equal counts are alike, so each step moves as many of a kind as it needs.
struct Tally {
  std::uint32_t count;
  std::uint16_t at[kMaxCodeLength + 2];
};

// Lengths at a rate of code space, made a complete code: while overfull, the codes that
// lose the least for the space they give back are lengthened; while space is left, the
// codes whose shortening gains the most are shortened.
void CompleteLengths(const std::uint32_t *counts, unsigned n, const Prices &prices, Groups &groups,
                     std::uint64_t rate, std::uint8_t *lengths) {
  unsigned unused_length;
  std::uint32_t space = LengthsAtRate(groups, prices, rate, &unused_length);
  const Price unused_cost = UnusedCost(prices, rate, unused_length);
  // One tally a distinct count, and the last for the symbols that do not occur but get a
  // length (by the price of leaving them out).
  Tally tally[kSymbolCount + 1];
  const unsigned kinds = groups.n + 1;
  for (unsigned g = 0; g < kinds; ++g) {
    tally[g].count = g < groups.n ? groups.count[g] : 0;
    std::memset(tally[g].at, 0, sizeof tally[g].at);
  }
  std::uint16_t kind_of[kSymbolCount];
  for (unsigned s = 0; s < n; ++s) {
    unsigned g, len;
    if (counts[s] == 0) {
      if (prices.zero[s] <= unused_cost) {
        lengths[s] = 0;
        continue;
      }
      g = groups.n;
      len = unused_length;
    } else {
      g = static_cast<unsigned>(std::lower_bound(groups.count, groups.count + groups.n, counts[s]) -
                                groups.count);
      len = groups.length[g];
    }
    kind_of[s] = static_cast<std::uint16_t>(g);
    lengths[s] = static_cast<std::uint8_t>(len);
    ++tally[g].at[len];
  }
  while (space > kFullSpace) {
    // Least loss for the space given back: loss / Space(len + 1), compared crosswise. On a
    // tie the later kind: symbols that do not occur are lengthened first.
    unsigned pick = 0, pick_len = 0;
    Price pick_loss = 0, pick_space = 0;
    for (unsigned g = 0; g < kinds; ++g) {
      for (unsigned len = 1; len < kMaxCodeLength; ++len) {
        if (tally[g].at[len] == 0) continue;
        const Price loss =
            Cost(tally[g].count, len + 1, prices) - Cost(tally[g].count, len, prices);
        const Price freed = Space(len + 1);
        if (pick_len == 0 || loss * pick_space <= pick_loss * freed) {
          pick = g, pick_len = len, pick_loss = loss, pick_space = freed;
        }
      }
    }
    // Even the longest lengths fit: 510 symbols of 16 bits take less than the whole space.
    // Others of the kind follow while still needed, unless the one moved would lose less
    // by moving on.
    Tally &t = tally[pick];
    const unsigned next = pick_len + 1;
    const bool moves_on =
        next < kMaxCodeLength &&
        (Cost(t.count, next + 1, prices) - Cost(t.count, next, prices)) * pick_space <
            pick_loss * Space(next + 1);
    do {
      --t.at[pick_len];
      ++t.at[next];
      space -= Space(next);
    } while (!moves_on && space > kFullSpace && t.at[pick_len] != 0);
  }
  // On a tie the later kind: the most frequent symbols are shortened first.
  while (space < kFullSpace) {
    const std::uint32_t room = kFullSpace - space;
    unsigned pick = 0, pick_len = 0;
    Price pick_gain = 0;
    for (unsigned g = 0; g < kinds; ++g) {
      for (unsigned len = 2; len <= kMaxCodeLength; ++len) {
        if (tally[g].at[len] == 0 || Space(len) > room) continue;
        const Price gain =
            Cost(tally[g].count, len, prices) - Cost(tally[g].count, len - 1, prices);
        if (pick_len == 0 || gain >= pick_gain) pick = g, pick_len = len, pick_gain = gain;
      }
    }
    // The longest code always fits the room left, which its space divides. Others of the
    // kind follow while they fit, unless the one moved would gain more by moving on.
    Tally &t = tally[pick];
    const unsigned next = pick_len - 1;
    const bool moves_on = next >= 2 && Space(next) <= room - Space(pick_len) &&
                          Cost(t.count, next, prices) - Cost(t.count, next - 1, prices) > pick_gain;
    do {
      --t.at[pick_len];
      ++t.at[next];
      space += Space(pick_len);
    } while (!moves_on && t.at[pick_len] != 0 && Space(pick_len) <= kFullSpace - space);
  }
  // Symbols of a kind take its lengths in order, shortest first.
  for (unsigned s = 0; s < n; ++s) {
    if (lengths[s] == 0) continue;
    Tally &t = tally[kind_of[s]];
    unsigned len = 1;
    while (t.at[len] == 0) ++len;
    --t.at[len];
    lengths[s] = static_cast<std::uint8_t>(len);
  }
}

// Two complete codes for n symbols at about the least cost the prices foresee: the rate of
// code space is searched for where the lengths just fit; *below is made from the lowest
// rate found that fits, *above from the highest that does not.
void ChooseLengths(const std::uint32_t *counts, unsigned n, const Prices &prices,
                   std::uint8_t *below, std::uint8_t *above) {
  Groups groups(counts, n, prices);
  std::uint64_t low = kLowestRate, high = kHighestRate;
  unsigned unused_length;
  if (LengthsAtRate(groups, prices, low, &unused_length) <= kFullSpace) {
    high = low;
  } else {
    for (int step = 0; step < kSearchSteps; ++step) {
      const std::uint64_t mid = std::max(low + 1, SquareRoot(low * high));
      if (mid >= high) break;
      if (LengthsAtRate(groups, prices, mid, &unused_length) > kFullSpace) {
        low = mid;
      } else {
        high = mid;
      }
    }
  }
  CompleteLengths(counts, n, prices, groups, high, below);
  if (above) CompleteLengths(counts, n, prices, groups, low, above);
}

// Head prices of the symbol table as the current lengths would have it written: a length by
// its length code, a symbol left out by its share of the run of symbols that do not occur
// around it (nothing after the last that occurs: the table ends there).
void SymbolPrices(const BlockCounts &counts, const std::uint8_t *symbol_lengths, Prices *prices) {
  std::uint8_t code_lengths[kLengthCodeCount];
  LengthCodeLengths(symbol_lengths, code_lengths);
  unsigned code_bits[kLengthCodeCount];
  unsigned longest = 0;
  for (unsigned k = 0; k < kLengthCodeCount; ++k) {
    longest = std::max<unsigned>(longest, code_lengths[k]);
  }
  for (unsigned k = 0; k < kLengthCodeCount; ++k) {
    code_bits[k] = code_lengths[k] ? code_lengths[k] : longest + kUnusedLengthCodeExtra;
  }
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    prices->length[len] = Price{code_bits[len + kLengthCodeBase]} * kBit;
  }
  unsigned end = kSymbolCount;
  while (end > 0 && counts.symbols[end - 1] == 0) --end;
  for (unsigned s = end; s < kSymbolCount; ++s) prices->zero[s] = 0;
  for (unsigned s = 0; s < end;) {
    if (counts.symbols[s] != 0) {
      prices->zero[s] = 0;  // not used: a symbol that occurs has a length
      ++s;
      continue;
    }
    unsigned r = 1;
    while (counts.symbols[s + r] == 0) ++r;
    const Price share = Price{ZeroRunBits(r, code_bits)} * kBit / r;
    for (unsigned k = 0; k < r; ++k) prices->zero[s + k] = share;
    s += r;
  }
}

// Head prices of the position table: each length up to the last class that occurs, a zero
// as the shortest.
void ClassPrices(const BlockCounts &counts, Prices *prices) {
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    prices->length[len] = Price{SmallLengthBits(len)} * kBit;
  }
  unsigned end = kPositionClassCount;
  while (end > 0 && counts.classes[end - 1] == 0) --end;
  for (unsigned c = 0; c < kPositionClassCount; ++c)
    prices->zero[c] = c < end ? Price{SmallLengthBits(0)} * kBit : 0;
}

}  // namespace

BlockCodes TunedCodes(const BlockCounts &counts, int rounds) {
  BlockCodes best(counts);
  std::size_t best_bits = BlockBits(counts, best);
  Prices prices;
  if (best.class_used >= 2) {
    BlockCodes codes = best;
    ClassPrices(counts, &prices);
    ChooseLengths(counts.classes, kPositionClassCount, prices, codes.class_lengths, nullptr);
    codes.LengthsChanged();
    const std::size_t bits = BlockBits(counts, codes);
    if (bits < best_bits) {
      best_bits = bits;
      best = codes;
    }
  }
  if (best.symbol_used < 2) return best;
  // Each round prices the head as the best codes so far would have it written.
  BlockCodes below = best, above = best;
  for (int round = 0; round < rounds; ++round) {
    SymbolPrices(counts, best.symbol_lengths, &prices);
    ChooseLengths(counts.symbols, kSymbolCount, prices, below.symbol_lengths, above.symbol_lengths);
    const std::size_t bits_before = best_bits;
    for (BlockCodes *codes : {&below, &above}) {
      codes->LengthsChanged();
      const std::size_t bits = BlockBits(counts, *codes);
      if (bits < best_bits) {
        best_bits = bits;
        best = *codes;
      }
    }
    if (best_bits == bits_before) break;
  }
  return best;
}

}  // namespace arjenc
