// The ARJ packers: methods 1 (Huffman-coded LZ77) and 4 (fixed-code LZ77), producing exactly
// the packed form the engine in arj/ decodes. Portable; kxpack links it, the installer does not.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace arjenc {

enum class PackMethod : std::uint8_t { kStored = 0, kHuffman = 1, kFast = 4 };

struct PackOptions {
  PackMethod method = PackMethod::kHuffman;
  bool best = false;  // spend time for size (near-optimal parsing)
};

struct MatchTables;

// Packs size bytes at data into *packed (replacing its contents). Returns false, with
// *packed unspecified, when the method is kStored or the packed form would not be smaller
// than the input: the caller then stores the member. tables (optional) are kept across
// members so that small ones do not pay for setting them up; the packed form is the same
// without them.
bool Pack(const std::uint8_t *data, std::size_t size, const PackOptions &options,
          std::vector<std::uint8_t> *packed, MatchTables *tables = nullptr);

}  // namespace arjenc
