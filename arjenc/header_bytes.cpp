#include "arjenc/header_bytes.h"

#include "arj/crc32.h"
#include "arj/format/header_frame.h"

namespace arjenc {

void PutLe16(Bytes *out, std::uint32_t value) {
  out->push_back(static_cast<std::uint8_t>(value));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(Bytes *out, std::uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

Bytes BasicHeader(const HeaderToWrite &f) {
  Bytes b(arj::kFixedPartSize);
  b.reserve(f.first_part_size + f.name.size() + f.comment.size() + 2);
  arj::StoreHeaderFields(f, b.data());
  if (f.first_part_size > b.size()) b.resize(f.first_part_size, 0);
  b.insert(b.end(), f.name.begin(), f.name.end());
  b.push_back(0);
  b.insert(b.end(), f.comment.begin(), f.comment.end());
  b.push_back(0);
  return b;
}

Bytes FramedHeader(const Bytes &basic) {
  Bytes out;
  out.reserve(arj::kFrameLeadSize + basic.size() + arj::kFrameCrcSize + 2);  // + the list's end
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
