#include "arj/header.h"

#include "arj/little_endian.h"

namespace arj {

void ParseBasicHeader(const std::uint8_t (&basic)[kMaxBasicHeader], ArjHeader *h) {
  h->first_part_size = basic[0];
  h->archiver_version = basic[1];
  h->min_version = basic[2];
  h->host_system = basic[3];
  h->flags = basic[4];
  h->method = basic[5];
  h->file_type = basic[6];
  h->date_time = LoadLe32(basic + 8);
  h->packed_size = LoadLe32(basic + 12);
  h->unpacked_size = static_cast<std::int32_t>(LoadLe32(basic + 16));
  h->file_crc = LoadLe32(basic + 20);
  h->name_position = static_cast<std::int16_t>(LoadLe16(basic + 24));
  h->access_mode = LoadLe16(basic + 26);
  h->host_data = LoadLe16(basic + 28);

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
