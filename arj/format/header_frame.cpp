#include "arj/format/header_frame.h"

#include "arj/crc32.h"
#include "base/little_endian.h"

namespace arj {

bool BasicHeaderIntact(const std::uint8_t *basic, std::size_t size, std::uint32_t stored_crc) {
  return Crc32(basic, size) == stored_crc;
}

Frame CheckFrame(const std::uint8_t *bytes, std::size_t available, FrameCheck check,
                 std::size_t *basic_size) {
  if (available < kFrameLeadSize) return Frame::kNoLead;
  if (!IsHeaderId(kx::LoadLe16(bytes))) return Frame::kNoId;
  const std::size_t size = kx::LoadLe16(bytes + 2);
  *basic_size = size;
  if (check == FrameCheck::kInWalk && IsEndMarkerSize(size)) return Frame::kEndMarker;
  if (!BasicSizeFits(size)) return Frame::kTooLong;
  if (available - kFrameLeadSize < size + kFrameCrcSize) return Frame::kTruncated;
  const std::uint8_t *basic = bytes + kFrameLeadSize;
  return BasicHeaderIntact(basic, size, kx::LoadLe32(basic + size)) ? Frame::kHeader
                                                                : Frame::kCrcMismatch;
}

}  // namespace arj
