// The decoders' window. Decoded bytes go into one linear buffer that starts with the last
// 26624 bytes of history; matches copy from behind the write position without wrapping,
// and the buffer is written out and slid only every ten windows' worth of output. Output
// therefore leaves in whole multiples of the 26624-byte window, as it would from a ring of
// that size, including what is written before a failure stops a member.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "arj/member_output.h"
#include "arj/result.h"

namespace arj {

class SlidingWindow {
 public:
  static constexpr std::size_t kHistory = 26624;
  static constexpr std::size_t kChunk = 10 * kHistory;
  // A match of up to 256 bytes may start just below the chunk's end, and copies write up
  // to 31 bytes past its end.
  static constexpr std::size_t kSlack = 512;
  static constexpr std::size_t kLimit = kHistory + kChunk;

  std::uint8_t *Begin() {
    // Positions before the member's first byte read zeros.
    std::memset(buffer_, 0, kHistory);
    return buffer_;
  }

  // Runs a decoder until unpacked_size bytes (or, with the tail of the last match, a few
  // more) are produced. step(base, pos, stop) decodes while pos < stop and returns kOk, or a
  // failure code that ends the member.
  template <class Step>
  int Run(MemberOutput &output, std::int32_t unpacked_size, Step &&step) {
    std::uint8_t *base = Begin();
    std::size_t pos = kHistory;
    std::int64_t remaining = unpacked_size;
    while (remaining > 0) {
      const std::size_t room = kLimit - pos;
      const std::size_t stop =
          pos + (remaining < static_cast<std::int64_t>(room) ? static_cast<std::size_t>(remaining)
                                                             : room);
      const std::size_t start = pos;
      const int rc = step(base, pos, stop);
      remaining -= static_cast<std::int64_t>(pos - start);
      if (rc != kOk) {
        const std::size_t produced = pos - kHistory;
        output.Emit(base + kHistory, produced - produced % kHistory);
        return rc;
      }
      if (pos >= kLimit) {
        if (output.Emit(base + kHistory, kChunk) != kOk) return kWriteFailure;
        std::memmove(base, base + kChunk, pos - kChunk);
        pos -= kChunk;
      }
    }
    return pos > kHistory ? output.Emit(base + kHistory, pos - kHistory) : kOk;
  }

 private:
  std::uint8_t buffer_[kLimit + kSlack];
};

// Sixteen bytes as one value, not a byte array: the i686 compiler keeps it in a register
// rather than storing it to the stack and loading it back.
typedef std::uint8_t Chunk16 __attribute__((vector_size(16)));
__attribute__((always_inline)) inline void Move16(std::uint8_t *dst, const std::uint8_t *src) {
  Chunk16 v;
  std::memcpy(&v, src, sizeof v);
  std::memcpy(dst, &v, sizeof v);
}

// 16-byte moves from src to dst until dst reaches end (it may pass it by up to 15 bytes).
__attribute__((always_inline)) inline void Move16Until(std::uint8_t *dst, const std::uint8_t *src,
                                                       const std::uint8_t *end) {
  do {
    Move16(dst, src);
    src += 16;
    dst += 16;
  } while (dst < end);
}

// Copies a match of length bytes (3 to 256) from distance bytes back (1 to 26624).
// Overlapping sources repeat the bytes being written, as a byte-by-byte copy would. Writes
// up to 31 bytes past the match; the window keeps slack for that.
__attribute__((always_inline)) inline void CopyMatch(std::uint8_t *dst, std::size_t distance,
                                                     std::size_t length) {
  const std::uint8_t *src = dst - distance;
  std::uint8_t *const end = dst + length;
  if (distance >= 32) {
    // Most matches are short: two moves, both loads ahead of both stores (neither reads
    // what the other writes), cover up to 32 bytes without a loop's test.
    Chunk16 first, second;
    std::memcpy(&first, src, sizeof first);
    std::memcpy(&second, src + 16, sizeof second);
    std::memcpy(dst, &first, sizeof first);
    std::memcpy(dst + 16, &second, sizeof second);
    if (length <= 32) return;
    src += 32;
    dst += 32;
    Move16Until(dst, src, end);
    return;
  }
  if (distance < 8) {
    // The output repeats with period distance, hence also with a period of 8 or more (a
    // multiple of it): write that many bytes one by one, then copy from that far back.
    static constexpr std::uint8_t kWidePeriod[8] = {0, 8, 8, 9, 8, 10, 12, 14};
    const std::size_t period = kWidePeriod[distance];
    std::uint8_t *const narrow_end = length < period ? end : dst + period;
    while (dst < narrow_end) *dst++ = *src++;
    if (dst >= end) return;
    src = dst - period;
  }
  if (distance >= 16) {
    // 16-byte moves: each load only reads bytes already in place.
    Move16Until(dst, src, end);
    return;
  }
  // Distances of 8 to 15: 8-byte moves.
  do {
    std::uint64_t v;
    std::memcpy(&v, src, 8);
    std::memcpy(dst, &v, 8);
    src += 8;
    dst += 8;
  } while (dst < end);
}

}  // namespace arj
