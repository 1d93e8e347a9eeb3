// A header as the engine keeps it: the stored fields, the name and the CRC it was read with.
#pragma once
#include <cstddef>
#include <cstdint>

#include "arj/format/header_fields.h"

namespace arj {

// What the engine extracts: members needing version 3 at most.
constexpr std::uint8_t kNewestMinVersion = 3;

struct ArjHeader : HeaderFields {
  std::uint32_t header_crc = 0;  // of the basic header: tells a remembered header still holds
  char name[kMaxName + 1] = {};
};

// Takes the fields of a basic header; bytes past the header's own size read as zero.
void ParseBasicHeader(const std::uint8_t (&basic)[kMaxBasicHeader], ArjHeader *header);

}  // namespace arj
