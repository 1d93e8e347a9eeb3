// The cheapest sequence of literals and matches for a stretch of input under a cost model,
// found by a shortest path over the positions. Method 4's codes are fixed; for method 1
// (--best) the model comes from the codes of an earlier parse, and parsing again under the
// codes that parse gives, a few times, brings the codes and the parse together.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "arjenc/cost_model.h"
#include "arjenc/match_finder.h"
#include "arjenc/token.h"

namespace arjenc {

class OptimalParser {
 public:
  // A match of take_whole bytes or more is taken as it is: the positions it covers get no
  // searches of their own; with inside_chain, searches that deep, their longest match
  // weighed at its whole length alone (a repeat can still end early where another begins,
  // at a fraction of the time of full searches and of weighing every length).
  // tables: the match finder's, kept by the caller across inputs (or null).
  OptimalParser(const std::uint8_t *data, std::size_t size, unsigned max_distance,
                unsigned max_chain, unsigned take_whole, MatchTables *tables = nullptr,
                unsigned inside_chain = 0);

  // Finds the matches for the next stretch of up to max_bytes of input (after the last
  // stretch); returns how many bytes it holds, 0 at the end of the input.
  std::size_t NextStretch(std::size_t max_bytes);

  // The cheapest parse of the current stretch under the costs, replacing *tokens.
  void Parse(const CostModel &costs, std::vector<Token> *tokens);

  // Costs for the steps that start before end (counted from the start of the stretch).
  struct CostSpan {
    std::size_t end;
    const CostModel *costs;
  };
  // The same under costs that change along the stretch: spans in order, the last ending at
  // or after the stretch's end.
  void Parse(const CostSpan *spans, std::vector<Token> *tokens);

 private:
  const std::uint8_t *data_;
  std::size_t size_;
  unsigned max_chain_;
  unsigned take_whole_;
  unsigned inside_chain_;
  MatchFinder finder_;
  std::size_t start_ = 0;
  std::size_t length_ = 0;
  // Matches of the stretch: those at its position i are matches_[first_[i]..first_[i+1]).
  std::vector<Match> matches_;
  std::vector<std::uint32_t> first_;
  // Whether position i's match is weighed at its whole length alone (see inside_chain).
  std::vector<std::uint8_t> whole_only_;
  // The cheapest way found to each position of the stretch: its cost and the step that
  // ends there (1 for a literal, else length | distance << 9).
  struct Node {
    std::uint32_t price;
    std::uint32_t from;
  };
  std::vector<Node> node_;
};

}  // namespace arjenc
