#include "arjenc/huffman_code.h"

#include <algorithm>
#include <cstring>

namespace arjenc {
namespace {

constexpr unsigned kMaxSymbols = 512;
constexpr unsigned kLengthSlots = 32;

// How many codes of each length an optimal code gives weights sorted ascending (Moffat
// and Katajainen, in place: a is used up), the lengths above max_length counted at it. The
// lengths fall along ascending weights, so the counts are all the caller needs: the leaves
// of each depth are counted, not written out and counted again. n is at least 2.
void MinimumRedundancyCounts(std::uint32_t *a, int n, unsigned max_length, unsigned *per_length) {
  // First pass: pair the two smallest items, leaves or subtrees, keeping parent links.
  a[0] += a[1];
  int root = 0;
  int leaf = 2;
  for (int next = 1; next < n - 1; ++next) {
    if (leaf >= n || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = static_cast<std::uint32_t>(next);
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= n || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = static_cast<std::uint32_t>(next);
    } else {
      a[next] += a[leaf++];
    }
  }
  // Second pass: depths of the internal nodes from their parent links.
  a[n - 2] = 0;
  for (int next = n - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
  // Third pass: the nodes of each depth that are not internal ones are leaves.
  int available = 1;
  int used = 0;
  std::uint32_t depth = 0;
  root = n - 2;
  while (available > 0) {
    while (root >= 0 && a[root] == depth) {
      ++used;
      --root;
    }
    per_length[depth < max_length ? depth : max_length] += static_cast<unsigned>(available - used);
    available = 2 * used;
    ++depth;
    used = 0;
  }
}

// Keys are count << kSymbolBits | symbol: 32 bits hold every count a block can have.
constexpr unsigned kSymbolBits = 9;
constexpr unsigned kDigitBits = 8;
constexpr unsigned kDigits = 1u << kDigitBits;
// Counts looked at together when picking out the occurring symbols.
constexpr unsigned kGroup = 4;

// Sorts keys, given in symbol order, by count with a stable radix sort over the digits the
// counts use: equal counts stay in symbol order, as a sort of the whole keys would leave
// them, and no comparison waits on a branch. Only the digits up to the largest count are
// cleared and summed, few for a small block. The two halves of the keys are counted and
// placed side by side with slots of their own: many keys share a digit (counts of 1 and 2
// above all), and one slot bumped after another would wait on each bump. Returns the array
// that holds the result, keys or scratch.
std::uint32_t *SortByCount(std::uint32_t *keys, std::uint32_t *scratch, unsigned n,
                           std::uint32_t largest) {
  const unsigned half = n / 2;
  for (unsigned shift = kSymbolBits; (largest >> (shift - kSymbolBits)) != 0; shift += kDigitBits) {
    const std::uint32_t rest = largest >> (shift - kSymbolBits);
    const unsigned digits = rest >= kDigits ? kDigits : rest + 1;
    const auto digit = [shift](std::uint32_t key) { return (key >> shift) & (kDigits - 1); };
    unsigned low[kDigits], high[kDigits];  // per digit: counts, then where the next goes
    std::fill(low, low + digits, 0u);
    std::fill(high, high + digits, 0u);
    for (unsigned i = 0; i < half; ++i) {
      ++low[digit(keys[i])];
      ++high[digit(keys[half + i])];
    }
    if (n & 1) ++high[digit(keys[n - 1])];
    // Each digit's keys of the first half go before those of the second.
    unsigned at = 0;
    for (unsigned d = 0; d < digits; ++d) {
      const unsigned in_low = low[d];
      low[d] = at;
      at += in_low;
      const unsigned in_high = high[d];
      high[d] = at;
      at += in_high;
    }
    for (unsigned i = 0; i < half; ++i) {
      scratch[low[digit(keys[i])]++] = keys[i];
      scratch[high[digit(keys[half + i])]++] = keys[half + i];
    }
    if (n & 1) scratch[high[digit(keys[n - 1])]++] = keys[n - 1];
    std::swap(keys, scratch);
    if (shift + kDigitBits >= 32) break;
  }
  return keys;
}

// Canonical codes: shorter codes first, and among codes of one length the lower symbol
// first. Sets next[len] to the first code of each length from 1 to max_length; the count
// of length 0 (symbols without a code) is not looked at.
void FirstCodes(const unsigned *per_length, unsigned max_length, std::uint32_t *next) {
  std::uint32_t code = 0;
  next[0] = 0;
  for (unsigned len = 1; len <= max_length; ++len) {
    code = (code + (len > 1 ? per_length[len - 1] : 0)) << 1;
    next[len] = code;
  }
}

}  // namespace

unsigned BuildCodeLengths(const std::uint32_t *counts, unsigned n, unsigned max_length,
                          std::uint8_t *lengths, std::uint16_t *codes) {
  // Occurring symbols, in symbol order, as keys to sort by count.
  std::uint32_t keys[kMaxSymbols], scratch[kMaxSymbols];
  std::uint16_t symbols[kMaxSymbols];
  std::uint32_t largest = 0;
  unsigned used = 0;
  std::memset(lengths, 0, n);
  if (codes) std::memset(codes, 0, n * sizeof *codes);
  const auto take = [&](unsigned i) {
    // Written always, kept when the symbol occurs: no branch on each count.
    keys[used] = counts[i] << kSymbolBits | i;
    symbols[used] = static_cast<std::uint16_t>(i);
    largest |= counts[i];
    used += counts[i] != 0;
  };
  // Most match lengths never occur in a block: groups of counts that are all zero are
  // passed over whole.
  unsigned group = 0;
  for (; group + kGroup <= n; group += kGroup) {
    if ((counts[group] | counts[group + 1] | counts[group + 2] | counts[group + 3]) == 0) continue;
    for (unsigned k = group; k < group + kGroup; ++k) take(k);
  }
  for (unsigned k = group; k < n; ++k) take(k);
  if (used < 2) return used;
  const std::uint32_t *const order = SortByCount(keys, scratch, used, largest);
  std::uint32_t weights[kMaxSymbols];
  for (unsigned i = 0; i < used; ++i) weights[i] = order[i] >> kSymbolBits;
  // How many codes of each length, the overlong ones cut to the limit.
  unsigned per_length[kLengthSlots] = {};
  MinimumRedundancyCounts(weights, static_cast<int>(used), max_length, per_length);
  // Kraft sum in units of 2^-max_length: exactly 1 << max_length for a complete code.
  const std::uint64_t full = 1ull << max_length;
  std::uint64_t kraft = 0;
  for (unsigned len = 1; len <= max_length; ++len) {
    kraft += static_cast<std::uint64_t>(per_length[len]) << (max_length - len);
  }
  // Cutting made the code overfull: lengthen the longest codes below the limit.
  while (kraft > full) {
    unsigned len = max_length - 1;
    while (per_length[len] == 0) --len;
    --per_length[len];
    ++per_length[len + 1];
    kraft -= 1ull << (max_length - len - 1);
  }
  // Lengthening may overshoot: shorten the longest codes while the gap allows.
  while (kraft < full) {
    unsigned len = max_length;
    while (per_length[len] == 0 || (1ull << (max_length - len)) > full - kraft) --len;
    --per_length[len];
    ++per_length[len - 1];
    kraft += 1ull << (max_length - len);
  }
  // The longest codes go to the rarest symbols.
  unsigned rank = 0;
  for (unsigned len = max_length; len >= 1; --len) {
    for (unsigned k = 0; k < per_length[len]; ++k) {
      lengths[order[rank++] & ((1u << kSymbolBits) - 1)] = static_cast<std::uint8_t>(len);
    }
  }
  if (!codes) return used;
  // Only the occurring symbols are visited.
  std::uint32_t next[kLengthSlots];
  FirstCodes(per_length, max_length, next);
  for (unsigned k = 0; k < used; ++k) {
    const unsigned s = symbols[k];
    codes[s] = static_cast<std::uint16_t>(next[lengths[s]]++);
  }
  return used;
}

void AssignCodes(const std::uint8_t *lengths, unsigned n, std::uint16_t *codes) {
  unsigned per_length[kLengthSlots] = {};
  unsigned longest = 0;
  for (unsigned i = 0; i < n; ++i) {
    ++per_length[lengths[i]];
    longest = std::max<unsigned>(longest, lengths[i]);
  }
  std::uint32_t next[kLengthSlots];
  FirstCodes(per_length, longest, next);
  for (unsigned i = 0; i < n; ++i) {
    codes[i] = lengths[i] ? static_cast<std::uint16_t>(next[lengths[i]]++) : 0;
  }
}

}  // namespace arjenc
