#include "arjenc/header_bytes.h"

#include "arj/crc32.h"
#include "arj/header.h"

namespace arjenc {

void PutLe16(Bytes *out, std::uint32_t value) {
  out->push_back(static_cast<std::uint8_t>(value));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(Bytes *out, std::uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

Bytes BasicHeader(const HeaderFields &f) {
  Bytes b;
  b.reserve(f.first_part_size + f.name.size() + f.comment.size() + 2);
  b.push_back(f.first_part_size);
  b.push_back(f.archiver_version);
  b.push_back(f.min_version);
  b.push_back(f.host_system);
  b.push_back(f.flags);
  b.push_back(f.method);
  b.push_back(f.file_type);
  b.push_back(0);  // reserved
  PutLe32(&b, f.date_time);
  PutLe32(&b, f.packed_size);
  PutLe32(&b, f.unpacked_size);
  PutLe32(&b, f.file_crc);
  PutLe16(&b, f.name_position);
  PutLe16(&b, f.access_mode);
  PutLe16(&b, f.host_data);
  b.resize(f.first_part_size < b.size() ? b.size() : f.first_part_size, 0);
  b.insert(b.end(), f.name.begin(), f.name.end());
  b.push_back(0);
  b.insert(b.end(), f.comment.begin(), f.comment.end());
  b.push_back(0);
  return b;
}

Bytes FramedHeader(const Bytes &basic) {
  Bytes out;
  out.reserve(basic.size() + 10);  // id, size, the basic header, its CRC, the end of the list
  PutLe16(&out, arj::kHeaderId);
  PutLe16(&out, static_cast<std::uint32_t>(basic.size()));
  out.insert(out.end(), basic.begin(), basic.end());
  PutLe32(&out, arj::Crc32(basic.data(), basic.size()));
  PutLe16(&out, 0);  // no extended headers
  return out;
}

Bytes EndMarker() {
  Bytes out;
  PutLe16(&out, arj::kHeaderId);
  PutLe16(&out, 0);
  return out;
}

}  // namespace arjenc
