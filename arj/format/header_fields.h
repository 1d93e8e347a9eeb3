// The archive header as stored: its limits, the values of its fields, and the fixed part of
// the basic header as one record, shared by the engine that reads it, the encoder that
// writes it and kxpack that lists it. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

namespace arj {

constexpr std::uint16_t kHeaderId = 0xEA60;
constexpr std::size_t kMaxBasicHeader = 2600;
// The main header is the first valid header that starts within this many bytes of the file.
constexpr std::int64_t kScanLimit = 500000;
// The fields every basic header has, before the name.
constexpr std::size_t kFixedPartSize = 30;
// The longest stored name a reader keeps.
constexpr std::size_t kMaxName = 511;

constexpr std::uint8_t kHostMsDos = 0;
// A UNIX host's names and text keep bit 7; every other host's are 7-bit.
constexpr std::uint8_t kHostUnix = 2;
constexpr std::uint8_t kFlagGarbled = 0x01;
constexpr std::uint8_t kFlagPathSeparators = 0x10;

constexpr std::uint8_t kMethodStored = 0;
constexpr std::uint8_t kMethodFast = 4;
// Archiver version 1 knew no method 4: a header of that version cannot mean it.
constexpr std::uint8_t kVersionWithoutFast = 1;

constexpr std::uint8_t kFileTypeBinary = 0;
constexpr std::uint8_t kFileTypeText = 1;
constexpr std::uint8_t kLastFileType = kFileTypeText;
constexpr std::uint8_t kFileTypeMainHeader = 2;

// The fixed part of a basic header, field by field in the widths it is stored in.
struct HeaderFields {
  std::uint8_t first_part_size = 0;  // where the name starts; bytes past the fields are extra
  std::uint8_t archiver_version = 0;
  std::uint8_t min_version = 0;
  std::uint8_t host_system = 0;
  std::uint8_t flags = 0;
  std::uint8_t method = 0;
  std::uint8_t file_type = 0;
  std::uint32_t date_time = 0;  // MS-DOS date and time
  std::uint32_t packed_size = 0;
  std::uint32_t unpacked_size = 0;
  std::uint32_t file_crc = 0;
  std::uint16_t name_position = 0;  // where the bare name starts within the stored name
  std::uint16_t access_mode = 0;
  std::uint16_t host_data = 0;
};

// Takes the fields from the first kFixedPartSize bytes of a basic header.
HeaderFields LoadHeaderFields(const std::uint8_t *basic);
// Writes the fields as the first kFixedPartSize bytes of a basic header (the reserved byte 0).
void StoreHeaderFields(const HeaderFields &fields, std::uint8_t *basic);

}  // namespace arj
