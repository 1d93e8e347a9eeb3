#include "arjenc/compress.h"

#include <cstdint>

#include "arjenc/fast_packer.h"
#include "arjenc/huffman_packer.h"

namespace arjenc {

bool Pack(const std::uint8_t *data, std::size_t size, const PackOptions &options,
          std::vector<std::uint8_t> *packed, MatchTables *tables) {
  // Members hold their sizes in 32 bits, and the decoders count in signed 32 bits.
  if (size == 0 || size > INT32_MAX) return false;
  switch (options.method) {
    case PackMethod::kHuffman:
      return PackHuffman(data, size, options.best, size, packed, tables) && packed->size() < size;
    case PackMethod::kFast:
      return PackFast(data, size, options.best, size, packed, tables) && packed->size() < size;
    case PackMethod::kStored:
      break;
  }
  return false;
}

}  // namespace arjenc
