#include "arj/header.h"

namespace arj {

void ParseBasicHeader(const std::uint8_t (&basic)[kMaxBasicHeader], ArjHeader *h) {
  static_cast<HeaderFields &>(*h) = LoadHeaderFields(basic);

  // The name runs from the first-part size to its NUL; a name from a non-UNIX host is
  // 7-bit. The comment after it is not used. (The first-part size is at most 255, so the
  // name cannot pass the buffer's end.) Flags bit 4 only says '/' separators are stored;
  // the name is kept exactly as stored either way.
  const std::uint8_t mask = h->host_system == kHostUnix ? 0xFF : 0x7F;
  std::size_t n = 0;
  for (const std::uint8_t *p = basic + h->first_part_size; n < kMaxName && p[n] != 0; ++n) {
    h->name[n] = static_cast<char>(p[n] & mask);
  }
  h->name[n] = '\0';
}

}  // namespace arj
