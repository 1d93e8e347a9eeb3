// Method 1: the whole packed form of one member, block after block.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace arjenc {

// Packs size bytes into *packed even when that is not smaller; best spends time for size.
// Stops early, returning false, once the packed form reaches give_up bytes.
bool PackHuffman(const std::uint8_t *data, std::size_t size, bool best, std::size_t give_up,
                 std::vector<std::uint8_t> *packed);

}  // namespace arjenc
