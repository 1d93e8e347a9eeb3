// --best for method 1: each stretch of the input parsed under costs refined pass by pass
// (the smallest parse kept), then cut into blocks that are parsed again under their own
// codes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "arjenc/match_finder.h"

namespace arjenc {

// As PackHuffman with best set.
bool PackBest(const std::uint8_t *data, std::size_t size, std::size_t give_up,
              std::vector<std::uint8_t> *packed, MatchTables *tables);

}  // namespace arjenc
