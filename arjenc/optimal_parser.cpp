#include "arjenc/optimal_parser.h"

#include <algorithm>

namespace arjenc {
namespace {

constexpr std::uint32_t kUnreached = 0xFFFFFFFFu;

}  // namespace

OptimalParser::OptimalParser(const std::uint8_t *data, std::size_t size, unsigned max_distance,
                             unsigned max_chain, unsigned take_whole, MatchTables *tables,
                             unsigned inside_chain)
    : data_(data),
      size_(size),
      max_chain_(max_chain),
      take_whole_(take_whole),
      inside_chain_(inside_chain),
      finder_(data, size, max_distance, tables) {}

std::size_t OptimalParser::NextStretch(std::size_t max_bytes) {
  start_ += length_;
  length_ = std::min(max_bytes, size_ - start_);
  matches_.clear();
  first_.assign(length_ + 1, 0);
  whole_only_.assign(length_, 0);
  Match found[kMaxMatch];
  const std::size_t end = start_ + length_;
  std::size_t shallow_until = 0;  // positions before it lie within a match taken whole
  for (std::size_t i = 0; i < length_;) {
    const std::size_t pos = start_ + i;
    first_[i] = static_cast<std::uint32_t>(matches_.size());
    const bool inside = i < shallow_until;
    unsigned n = finder_.AllLongest(pos, inside ? inside_chain_ : max_chain_, found);
    // Matches end with the stretch.
    const unsigned room = static_cast<unsigned>(std::min<std::size_t>(end - pos, kMaxMatch));
    unsigned kept = 0;
    for (unsigned k = 0; k < n; ++k) {
      Match m = found[k];
      if (m.length > room) m.length = room;
      if (m.length < kMinMatch) break;
      found[kept++] = m;
      if (m.length == room) break;
    }
    // Within a match taken whole, only the longest match, at its whole length alone.
    whole_only_[i] = inside && kept != 0;
    if (whole_only_[i]) {
      found[0] = found[kept - 1];
      kept = 1;
    }
    matches_.insert(matches_.end(), found, found + kept);
    if (kept != 0 && found[kept - 1].length >= take_whole_ && inside_chain_ != 0) {
      shallow_until = std::max(shallow_until, i + found[kept - 1].length);
    }
    ++i;
    if (kept != 0 && found[kept - 1].length >= take_whole_ && inside_chain_ == 0) {
      const unsigned skip = found[kept - 1].length - 1;
      for (unsigned k = 0; k < skip; ++k, ++i) {
        first_[i] = static_cast<std::uint32_t>(matches_.size());
        finder_.Insert(start_ + i);
      }
    }
  }
  first_[length_] = static_cast<std::uint32_t>(matches_.size());
  return length_;
}

void OptimalParser::Parse(const CostModel &costs, std::vector<Token> *tokens) {
  const CostSpan whole{length_, &costs};
  Parse(&whole, tokens);
}

void OptimalParser::Parse(const CostSpan *spans, std::vector<Token> *tokens) {
  const std::size_t n = length_;
  // Plain pointers in the hot loop: stores through them cannot be taken to change the
  // vectors' own fields.
  node_.resize(n + 1);
  Node *const node = node_.data();
  for (std::size_t i = 0; i <= n; ++i) node[i].price = kUnreached;
  node[0].price = 0;
  const std::uint8_t *const bytes = data_ + start_;
  const std::uint32_t *const first = first_.data();
  const Match *const matches = matches_.data();
  const std::uint8_t *const whole_only = whole_only_.data();
  for (std::size_t i = 0; i < n; ++spans) {
    const CostModel &costs = *spans->costs;
    const std::uint32_t *const literal = costs.symbol;
    const std::uint32_t *const sym = costs.symbol + kLengthSymbolBase;
    for (const std::size_t span_end = std::min(spans->end, n); i < span_end; ++i) {
      const std::uint32_t here = node[i].price;
      const std::uint32_t lit = here + literal[bytes[i]];
      if (lit < node[i + 1].price) node[i + 1] = Node{lit, 1};
      unsigned len = whole_only[i] ? matches[first[i]].length : kMinMatch;
      Node *const ahead = node + i;
      for (std::uint32_t k = first[i], end = first[i + 1]; k < end; ++k) {
        const Match m = matches[k];
        const std::uint32_t base = here + costs.DistanceCost(m.distance);
        const std::uint32_t step = m.distance << 9;
        for (; len <= m.length; ++len) {
          const std::uint32_t p = base + sym[len];
          if (p < ahead[len].price) ahead[len] = Node{p, len | step};
        }
      }
    }
  }
  // Walk back from the end, then turn the steps around.
  tokens->clear();
  for (std::size_t i = n; i > 0;) {
    const std::uint32_t step = node[i].from;
    const unsigned len = step & 0x1FFu;
    if (len == 1) {
      tokens->push_back(LiteralToken(bytes[i - 1]));
      i -= 1;
    } else {
      tokens->push_back(MatchToken(len, step >> 9));
      i -= len;
    }
  }
  std::reverse(tokens->begin(), tokens->end());
}

}  // namespace arjenc
