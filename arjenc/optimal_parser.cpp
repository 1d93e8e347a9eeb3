#include "arjenc/optimal_parser.h"

#include <algorithm>

namespace arjenc {
namespace {

// A match this long is taken as it is: the positions it covers get no matches of their own.
constexpr unsigned kTakeWhole = 192;
constexpr std::uint32_t kUnreached = 0xFFFFFFFFu;

}  // namespace

OptimalParser::OptimalParser(const std::uint8_t *data, std::size_t size, unsigned max_chain)
    : data_(data), size_(size), max_chain_(max_chain), finder_(data, size, kMaxDistance) {}

std::size_t OptimalParser::NextStretch(std::size_t max_bytes) {
  start_ += length_;
  length_ = std::min(max_bytes, size_ - start_);
  matches_.clear();
  first_.assign(length_ + 1, 0);
  Match found[kMaxMatch];
  const std::size_t end = start_ + length_;
  for (std::size_t i = 0; i < length_;) {
    const std::size_t pos = start_ + i;
    first_[i] = static_cast<std::uint32_t>(matches_.size());
    unsigned n = finder_.AllLongest(pos, max_chain_, found);
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
    matches_.insert(matches_.end(), found, found + kept);
    finder_.Insert(pos);
    ++i;
    if (kept != 0 && found[kept - 1].length >= kTakeWhole) {
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
  const std::size_t n = length_;
  price_.assign(n + 1, kUnreached);
  from_.assign(n + 1, 0);
  price_[0] = 0;
  const std::uint8_t *const bytes = data_ + start_;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t here = price_[i];
    const std::uint32_t lit = here + costs.symbol[bytes[i]];
    if (lit < price_[i + 1]) {
      price_[i + 1] = lit;
      from_[i + 1] = 1;
    }
    unsigned len = kMinMatch;
    for (std::uint32_t k = first_[i]; k < first_[i + 1]; ++k) {
      const Match m = matches_[k];
      const unsigned position = m.distance - 1;
      const unsigned c = PositionClass(position);
      const std::uint32_t base = here + costs.position_class[c] + (c > 1 ? c - 1 : 0) * kCostScale;
      const std::uint32_t *const sym = costs.symbol + kLengthSymbolBase;
      for (; len <= m.length; ++len) {
        const std::uint32_t p = base + sym[len];
        if (p < price_[i + len]) {
          price_[i + len] = p;
          from_[i + len] = len | m.distance << 9;
        }
      }
    }
  }
  // Walk back from the end, then turn the steps around.
  tokens->clear();
  for (std::size_t i = n; i > 0;) {
    const std::uint32_t step = from_[i];
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
