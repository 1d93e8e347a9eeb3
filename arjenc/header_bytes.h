// The bytes of one archive header, framed as arj/format/header_frame.h reads it: id, basic
// header size, the basic header (fixed part, name, comment), its CRC-32 and an empty extended
// header list.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "arj/format/header_fields.h"

namespace arjenc {

using Bytes = std::vector<std::uint8_t>;

// What our archives declare: a version that knows method 4, a minimum version every
// extractor meets, MS-DOS as host, binary files with the archive attribute.
constexpr std::uint8_t kArchiverVersion = 11;
constexpr std::uint8_t kMinVersionToExtract = 1;
constexpr std::uint16_t kDosArchiveAttribute = 0x20;

// A header to write: the format's fields, defaulting to what our archives carry, with the
// name and the comment.
struct HeaderToWrite : arj::HeaderFields {
  HeaderToWrite() {
    first_part_size = arj::kFixedPartSize;  // bytes past the fields are written as zeros
    archiver_version = kArchiverVersion;
    min_version = kMinVersionToExtract;
    host_system = arj::kHostMsDos;
    file_type = arj::kFileTypeBinary;
    access_mode = kDosArchiveAttribute;
  }
  std::string name;
  std::string comment;
};

// The basic header: fixed part, then name and comment, each ended by a NUL.
Bytes BasicHeader(const HeaderToWrite &header);
// id, size, basic header, its CRC-32 and the end of the (empty) extended header list.
Bytes FramedHeader(const Bytes &basic);
// The header that ends an archive.
Bytes EndMarker();

void PutLe16(Bytes *out, std::uint32_t value);
void PutLe32(Bytes *out, std::uint32_t value);

}  // namespace arjenc
