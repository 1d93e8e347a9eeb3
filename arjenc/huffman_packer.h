// Method 1: the whole packed form of one member, block after block.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "arjenc/match_finder.h"

namespace arjenc {

// Packs size bytes into *packed even when that is not smaller; best spends time for size.
// Stops early, returning false, once the packed form reaches give_up bytes. tables: the
// match finder's, kept by the caller across members (or null).
bool PackHuffman(const std::uint8_t *data, std::size_t size, bool best, std::size_t give_up,
                 std::vector<std::uint8_t> *packed, MatchTables *tables = nullptr);

}  // namespace arjenc
