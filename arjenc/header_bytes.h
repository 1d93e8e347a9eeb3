// The bytes of one archive header, framed as the engine reads it: id, basic header size, the
// basic header (fixed part, name, comment), its CRC-32 and an empty extended header list.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace arjenc {

using Bytes = std::vector<std::uint8_t>;

// What our archives declare: a version that knows method 4, a minimum version every
// extractor meets, MS-DOS as host, binary files. The fixed part is 30 bytes long.
constexpr std::uint8_t kFirstPartSize = 30;
constexpr std::uint8_t kArchiverVersion = 11;
constexpr std::uint8_t kMinVersionToExtract = 1;
constexpr std::uint8_t kHostMsDos = 0;
constexpr std::uint8_t kFileTypeBinary = 0;
constexpr std::uint8_t kFileTypeMainHeader = 2;
constexpr std::uint16_t kDosArchiveAttribute = 0x20;

// Every field of a basic header, defaulting to what our archives carry.
struct HeaderFields {
  std::uint8_t first_part_size = kFirstPartSize;  // bytes past 30 are written as zeros
  std::uint8_t archiver_version = kArchiverVersion;
  std::uint8_t min_version = kMinVersionToExtract;
  std::uint8_t host_system = kHostMsDos;
  std::uint8_t flags = 0;
  std::uint8_t method = 0;
  std::uint8_t file_type = kFileTypeBinary;
  std::uint32_t date_time = 0;  // MS-DOS date and time
  std::uint32_t packed_size = 0;
  std::uint32_t unpacked_size = 0;
  std::uint32_t file_crc = 0;
  std::uint16_t name_position = 0;
  std::uint16_t access_mode = kDosArchiveAttribute;
  std::uint16_t host_data = 0;
  std::string name;
  std::string comment;
};

// The basic header: fixed part, then name and comment, each ended by a NUL.
Bytes BasicHeader(const HeaderFields &fields);
// id, size, basic header, its CRC-32 and the end of the (empty) extended header list.
Bytes FramedHeader(const Bytes &basic);
// The header that ends an archive.
Bytes EndMarker();

void PutLe16(Bytes *out, std::uint32_t value);
void PutLe32(Bytes *out, std::uint32_t value);

}  // namespace arjenc
