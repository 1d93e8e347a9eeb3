#include "arjenc/lazy_parser.h"

#include <algorithm>

namespace arjenc {
namespace {

// Longer matches are always worth taking.
constexpr unsigned kWeighedLength = 8;
// Deferring to a longer match at the next position leaves fewer bytes for what follows
// the current one, bytes that would mostly be matched too: each is taken to save about
// three bits.
constexpr std::int32_t kFollowingSaving = 3 * kCostScale;

}  // namespace

LazyParser::LazyParser(const std::uint8_t *data, std::size_t size, const LazyOptions &options,
                       MatchTables *tables)
    : data_(data),
      size_(size),
      options_(options),
      finder_(data, size, options.max_distance, tables) {}

Match LazyParser::Search(std::size_t pos, unsigned at_least, unsigned chain) {
  Match m = finder_.Longest(pos, at_least, chain, options_.nice_length, costs_);
  // A short far match can cost more than the literals it replaces.
  if (costs_ && m.length != 0 && m.length <= kWeighedLength) {
    std::uint32_t literals = 0;
    for (unsigned k = 0; k < m.length; ++k) literals += costs_->symbol[data_[pos + k]];
    if (costs_->MatchCost(m.length, m.distance) >= literals) m.length = 0;
  }
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
  Token *out = tokens->data() + start;
  Token *const end = tokens->data() + tokens->size();
  std::uint32_t *const symbols = counts->symbols;
  std::uint32_t *const classes = counts->classes;
  while (pos_ < size_ && out != end) {
    const Match m = current_;
    if (m.length < kMinMatch) {
      const std::uint8_t byte = data_[pos_];
      *out++ = LiteralToken(byte);
      ++symbols[byte];
      if (++pos_ < size_) current_ = Search(pos_, 0, options_.max_chain);
      continue;
    }
    if (m.length < options_.lazy_limit && pos_ + 1 < size_) {
      const unsigned chain =
          m.length >= options_.good_length ? options_.max_chain / 4 : options_.max_chain;
      const Match next = Search(pos_ + 1, m.length, chain);
      if (next.length > m.length &&
          (!costs_ || Savings(pos_ + 1, next) >
                          Savings(pos_, m) + kFollowingSaving * static_cast<std::int32_t>(
                                                                    next.length + 1 - m.length))) {
        const std::uint8_t byte = data_[pos_];
        *out++ = LiteralToken(byte);
        ++symbols[byte];
        ++pos_;
        current_ = next;
        continue;
      }
      finder_.InsertRange(pos_ + 2, pos_ + m.length);
    } else {
      finder_.InsertRange(pos_ + 1, pos_ + m.length);
    }
    const Token t = MatchToken(m.length, m.distance);
    *out++ = t;
    ++symbols[TokenSymbol(t)];
    ++classes[PositionClass(TokenPosition(t))];
    pos_ += m.length;
    if (pos_ < size_) current_ = Search(pos_, 0, options_.max_chain);
  }
  tokens->resize(static_cast<std::size_t>(out - tokens->data()));
  return true;
}

}  // namespace arjenc
