// The fields of an archive header as the engine uses them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace arj {

constexpr std::uint16_t kHeaderId = 0xEA60;
constexpr std::size_t kMaxBasicHeader = 2600;
// The main header is the first valid header that starts within this many bytes of the file.
constexpr std::int64_t kScanLimit = 500000;
constexpr std::size_t kMaxName = 511;
// The fields every basic header has, before the name.
constexpr std::size_t kFixedPartSize = 30;

constexpr std::uint8_t kHostUnix = 2;
constexpr std::uint8_t kFlagGarbled = 0x01;
// What the engine extracts: members needing version 3 at most, methods 0 (stored) to 4
// (but not method 4 in a header of archiver version 1), binary and text files.
constexpr std::uint8_t kNewestMinVersion = 3;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodFast = 4;
constexpr std::uint8_t kVersionWithoutFast = 1;
constexpr std::uint32_t kFileTypeText = 1;
constexpr std::uint32_t kLastFileType = kFileTypeText;
constexpr std::uint8_t kFlagPathSeparators = 0x10;

struct ArjHeader {
  std::uint8_t first_part_size = 0;
  std::uint8_t archiver_version = 0;
  std::uint8_t min_version = 0;
  std::uint8_t host_system = 0;
  std::uint8_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t file_type = 0;
  std::uint32_t date_time = 0;
  // The format stores the packed size unsigned; skipping by it as a signed value could walk
  // backwards into the same header for ever.
  std::uint32_t packed_size = 0;
  std::int32_t unpacked_size = 0;
  std::uint32_t file_crc = 0;
  std::int16_t name_position = 0;
  std::uint16_t access_mode = 0;
  std::uint16_t host_data = 0;
  std::uint32_t header_crc = 0;  // of the basic header: tells a remembered header still holds
  char name[kMaxName + 1] = {};
};

// Takes the fields of a basic header; bytes past the header's own size read as zero.
void ParseBasicHeader(const std::uint8_t (&basic)[kMaxBasicHeader], ArjHeader *header);

}  // namespace arj
