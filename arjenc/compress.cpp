#include "arjenc/compress.h"

namespace arjenc {

// Placeholder until the packers land: every member is stored.
bool Pack(const std::uint8_t *, std::size_t, const PackOptions &, std::vector<std::uint8_t> *) {
  return false;
}

}  // namespace arjenc
