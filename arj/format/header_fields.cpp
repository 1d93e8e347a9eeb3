#include "arj/format/header_fields.h"

#include "base/little_endian.h"

namespace arj {
namespace {

// Offsets within the basic header.
constexpr std::size_t kReservedAt = 7;
constexpr std::size_t kDateTimeAt = 8;
constexpr std::size_t kPackedSizeAt = 12;
constexpr std::size_t kUnpackedSizeAt = 16;
constexpr std::size_t kFileCrcAt = 20;
constexpr std::size_t kNamePositionAt = 24;
constexpr std::size_t kAccessModeAt = 26;
constexpr std::size_t kHostDataAt = 28;

}  // namespace

HeaderFields LoadHeaderFields(const std::uint8_t *basic) {
  HeaderFields h;
  h.first_part_size = basic[0];
  h.archiver_version = basic[1];
  h.min_version = basic[2];
  h.host_system = basic[3];
  h.flags = basic[4];
  h.method = basic[5];
  h.file_type = basic[6];
  h.date_time = kx::LoadLe32(basic + kDateTimeAt);
  h.packed_size = kx::LoadLe32(basic + kPackedSizeAt);
  h.unpacked_size = kx::LoadLe32(basic + kUnpackedSizeAt);
  h.file_crc = kx::LoadLe32(basic + kFileCrcAt);
  h.name_position = kx::LoadLe16(basic + kNamePositionAt);
  h.access_mode = kx::LoadLe16(basic + kAccessModeAt);
  h.host_data = kx::LoadLe16(basic + kHostDataAt);
  return h;
}

void StoreHeaderFields(const HeaderFields &h, std::uint8_t *basic) {
  basic[0] = h.first_part_size;
  basic[1] = h.archiver_version;
  basic[2] = h.min_version;
  basic[3] = h.host_system;
  basic[4] = h.flags;
  basic[5] = h.method;
  basic[6] = h.file_type;
  basic[kReservedAt] = 0;
  kx::StoreLe32(basic + kDateTimeAt, h.date_time);
  kx::StoreLe32(basic + kPackedSizeAt, h.packed_size);
  kx::StoreLe32(basic + kUnpackedSizeAt, h.unpacked_size);
  kx::StoreLe32(basic + kFileCrcAt, h.file_crc);
  kx::StoreLe16(basic + kNamePositionAt, h.name_position);
  kx::StoreLe16(basic + kAccessModeAt, h.access_mode);
  kx::StoreLe16(basic + kHostDataAt, h.host_data);
}

}  // namespace arj
