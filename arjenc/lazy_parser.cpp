#include "arjenc/lazy_parser.h"

#include <algorithm>

namespace arjenc {
namespace {

// Longer matches are always worth taking.
constexpr unsigned kWeighedLength = 8;
// Deferring to a longer match at the next position leaves fewer bytes for what follows
// the current one, bytes that would mostly be matched too: each is taken to save about
// two bits.
constexpr std::int32_t kFollowingSaving = 2 * kCostScale;

// A short far match can cost more than the literals it replaces.
__attribute__((always_inline)) inline bool SavesBits(const std::uint8_t *bytes, const Match &m,
                                                     const CostModel &costs) {
  std::uint32_t literals = 0;
  for (unsigned k = 0; k < m.length; ++k) literals += costs.symbol[bytes[k]];
  return costs.MatchCost(m.length, m.distance) < literals;
}

}  // namespace

LazyParser::LazyParser(const std::uint8_t *data, std::size_t size, const LazyOptions &options,
                       MatchTables *tables)
    : data_(data),
      size_(size),
      options_(options),
      finder_(data, size, options.max_distance, tables, /*small_chains=*/true,
              /*five_byte_chains=*/true) {
  if (size <= MatchFinder::kSmallInput) {
    options_.max_chain = options.small_chain;
    options_.look_two_limit = 0;  // small members came out no smaller for the time
  }
}

Match LazyParser::Search(std::size_t pos, unsigned at_least, unsigned chain) {
  Match m = finder_.Longest(pos, at_least, chain, options_.nice_length, costs_);
  if (costs_ && m.length != 0 && m.length <= kWeighedLength && !SavesBits(data_ + pos, m, *costs_))
    m.length = 0;
  return m;
}

std::int32_t LazyParser::Savings(std::size_t pos, const Match &m) const {
  std::int32_t literals = 0;
  for (unsigned k = 0; k < m.length; ++k) literals += costs_->symbol[data_[pos + k]];
  return literals - static_cast<std::int32_t>(costs_->MatchCost(m.length, m.distance));
}

bool LazyParser::Parse(std::vector<Token> *tokens, std::size_t max_tokens, BlockCounts *counts) {
  if (pos_ >= size_) return false;
  if (!searched_) current_ = Search(pos_, 0, options_.max_chain);
  searched_ = true;
  // Room for the most tokens the rest of the input can make, filled through a pointer and
  // counted as they go, rather than appended and counted over again.
  const std::size_t start = tokens->size();
  tokens->resize(start + std::min(max_tokens - start, size_ - pos_));
  Token *const first = tokens->data() + start;
  const std::size_t room = tokens->size() - start;
  std::size_t n;
  if (finder_.Narrow()) {
    n = costs_ ? ParseInto<true>(finder_.NarrowState(), first, room, counts)
               : ParseInto<false>(finder_.NarrowState(), first, room, counts);
  } else {
    n = costs_ ? ParseInto<true>(finder_.State(), first, room, counts)
               : ParseInto<false>(finder_.State(), first, room, counts);
  }
  tokens->resize(start + n);
  return true;
}

template <bool kWeighed, typename State>
std::size_t LazyParser::ParseInto(State finder, Token *out, std::size_t room, BlockCounts *counts) {
  // The loop's state in locals, and without costs the searches inlined on a copy of the
  // finder's state: what the loop stores to the tables then cannot make it read them again.
  // The input is the finder's own: the same values, but one copy of them live in the loop
  // (registers are few on i686).
  const std::uint8_t *const data = finder.data;
  const std::size_t size = finder.size;
  const LazyOptions options = options_;
  std::size_t pos = pos_;
  Match current = current_;
  const CostModel *const costs = costs_;
  const auto search = [&](std::size_t at, unsigned at_least, unsigned chain)
      __attribute__((always_inline)) {
    if (!kWeighed) return finder.Longest(at, at_least, chain, options.nice_length);
    Match m = finder.LongestWeighed(at, at_least, chain, options.nice_length, *costs);
    if (m.length != 0 && m.length <= kWeighedLength && !SavesBits(data + at, m, *costs))
      m.length = 0;
    return m;
  };
  std::uint32_t *const symbols = counts->symbols;
  std::uint32_t *const classes = counts->classes;
  Token *const first = out;
  Token *const end = out + room;
  while (pos < size && out != end) {
    const Match m = current;
    if (m.length < kMinMatch) {
      const std::uint8_t byte = data[pos];
      *out++ = LiteralToken(byte);
      ++symbols[byte];
      if (++pos < size) current = search(pos, 0, options.max_chain);
      continue;
    }
    if (m.length < options.lazy_limit && pos + 1 < size) {
      const unsigned chain =
          m.length >= options.good_length ? options.max_chain / 4 : options.max_chain;
      const unsigned looks = m.length < options.look_two_limit && end - out >= 2 ? 2 : 1;
      unsigned deferred = 0;  // literals before a better match found ahead
      Match later;
      std::size_t filed = pos + 1;
      for (unsigned skip = 1; skip <= looks && pos + skip < size; ++skip) {
        // Two ahead, half as deep: it rarely finds more with the rest.
        later = search(pos + skip, m.length + skip - 1, skip == 1 ? chain : chain / 2);
        filed = pos + skip + 1;
        if (later.length + 1 > m.length + skip &&
            (!kWeighed ||
             Savings(pos + skip, later) >
                 Savings(pos, m) + kFollowingSaving *
                                       static_cast<std::int32_t>(later.length + skip - m.length))) {
          deferred = skip;
          break;
        }
      }
      if (deferred != 0) {
        for (const std::size_t to = pos + deferred; pos < to; ++pos) {
          const std::uint8_t byte = data[pos];
          *out++ = LiteralToken(byte);
          ++symbols[byte];
        }
        current = later;
        continue;
      }
      for (std::size_t p = filed; p < pos + m.length; ++p) finder.Insert(p);
    } else {
      for (std::size_t p = pos + 1; p < pos + m.length; ++p) finder.Insert(p);
    }
    const Token t = MatchToken(m.length, m.distance);
    *out++ = t;
    ++symbols[TokenSymbol(t)];
    ++classes[PositionClass(TokenPosition(t))];
    pos += m.length;
    if (pos < size) current = search(pos, 0, options.max_chain);
  }
  pos_ = pos;
  current_ = current;
  return static_cast<std::size_t>(out - first);
}

}  // namespace arjenc
