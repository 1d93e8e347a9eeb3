// The default parse: the longest match found at each position, unless the next position
// (or, for a short match, the one after) starts a longer one: then the bytes before it go
// out as literals and the search moves on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "arjenc/cost_model.h"
#include "arjenc/huffman_block.h"
#include "arjenc/match_finder.h"
#include "arjenc/token.h"

namespace arjenc {

struct LazyOptions {
  unsigned max_distance = kMaxDistance;
  unsigned max_chain = 24;  // earlier positions tried per search
  // The same for inputs small enough for chains by three bytes (see MatchFinder): their
  // chains hold more strangers, and a longer walk finds little more (8 positions packed
  // many small members 0.1% smaller in 3% more time).
  unsigned small_chain = 5;
  unsigned nice_length = 128;  // a match this long ends the search
  // A match this long is taken without looking one ahead. Logs repeat long lines: a match
  // of a hundred bytes often has a longer one a byte on.
  unsigned lazy_limit = 128;
  unsigned good_length = 24;  // after a match this long, the look ahead tries a quarter
  // A match shorter than this, with no longer one at the next position, also looks two
  // positions ahead: in text a short match often hides the start of a longer one.
  unsigned look_two_limit = 8;
};

class LazyParser {
 public:
  // tables: the match finder's, kept by the caller across inputs (or null).
  LazyParser(const std::uint8_t *data, std::size_t size, const LazyOptions &options,
             MatchTables *tables = nullptr);

  // Appends tokens from where the last call stopped until the input ends or tokens holds
  // max_tokens, and counts their symbols and position classes in *counts. Returns false
  // when no input was left.
  bool Parse(std::vector<Token> *tokens, std::size_t max_tokens, BlockCounts *counts);

  // Costs to weigh short matches against the literals they replace (none: every match is
  // taken). The model must outlive the parser's use of it.
  void SetCosts(const CostModel *costs) { costs_ = costs; }

 private:
  // Parses into out (room for at least the tokens the rest can make, or room tokens) with
  // a copy of the finder's state; returns how many. kWeighed: with costs.
  template <bool kWeighed, typename State>
  std::size_t ParseInto(State finder, Token *out, std::size_t room, BlockCounts *counts);
  Match Search(std::size_t pos, unsigned at_least, unsigned chain);
  // Bits a match saves against literals under the costs.
  std::int32_t Savings(std::size_t pos, const Match &m) const;

  const std::uint8_t *data_;
  std::size_t size_;
  LazyOptions options_;
  MatchFinder finder_;
  std::size_t pos_ = 0;
  bool searched_ = false;  // current_ holds the search made at pos_ (and pos_ is filed)
  Match current_;
  const CostModel *costs_ = nullptr;
};

}  // namespace arjenc
