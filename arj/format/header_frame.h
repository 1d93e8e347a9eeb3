// The frame around every basic header: the id and the basic header's size before it, its
// CRC-32 after it. One rule for every reader of the format: the engine's scan and walk,
// kxpack's listing and its check of a payload given as an archive. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

#include "arj/format/header_fields.h"

namespace arj {

constexpr std::size_t kFrameLeadSize = 4;  // the id, then the basic header's size
constexpr std::size_t kFrameCrcSize = 4;   // after the basic header

inline bool IsHeaderId(std::uint16_t id) { return id == kHeaderId; }
// A basic header size of 0 is the end marker; nothing follows it.
inline bool IsEndMarkerSize(std::size_t size) { return size == 0; }
inline bool BasicSizeFits(std::size_t size) { return size <= kMaxBasicHeader; }
bool BasicHeaderIntact(const std::uint8_t *basic, std::size_t size, std::uint32_t stored_crc);

// How a size of 0 is taken. A walk reads the end marker there. The scan for the main header
// holds such a candidate to the same test as any other: the CRC of no bytes must follow.
enum class FrameCheck { kInWalk, kScanCandidate };

enum class Frame {
  kHeader,       // a basic header of *basic_size bytes, its CRC intact
  kEndMarker,    // FrameCheck::kInWalk only
  kNoLead,       // fewer bytes than the id and the size
  kNoId,         //
  kTooLong,      // a basic header size above kMaxBasicHeader
  kTruncated,    // the basic header or its CRC runs past the bytes given
  kCrcMismatch,  //
};

// Checks the frame of the header that starts at bytes, of which available are there.
Frame CheckFrame(const std::uint8_t *bytes, std::size_t available, FrameCheck check,
                 std::size_t *basic_size);

}  // namespace arj
