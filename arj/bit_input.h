// The member's packed bits, most significant bit first. Bits are kept in a 64-bit word that
// is refilled eight bytes at a time from a buffer, so the decoders' hot loops look bits up
// with shifts instead of reading byte by byte.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace arj {

class ArchiveInput;

// The byte stream the decoders read: the member's bytes from the archive, as many as its
// packed size allows; 0xFF for every byte of that budget past the end of the file; zero
// bytes once the budget is spent. The stream never runs dry: short or damaged data only
// shows at the CRC check.
class PackedSource {
 public:
  void Start(ArchiveInput *input, std::uint32_t packed_size) {
    input_ = input;
    packed_left_ = packed_size;
    file_ended_ = false;
  }
  // Writes exactly n bytes of the stream.
  void Produce(std::uint8_t *destination, std::size_t n);

 private:
  ArchiveInput *input_ = nullptr;
  std::uint32_t packed_left_ = 0;
  bool file_ended_ = false;
};

// Reader state, kept in locals by the hot loops (by value, so byte stores to the output
// cannot be taken to alias it).
struct BitState {
  std::uint64_t bits;  // upcoming bits, the earliest in the top position
  unsigned count;      // how many of them are loaded (at least 56 after a refill)
  const std::uint8_t *next;
  const std::uint8_t *end;
};

inline std::uint64_t LoadBigEndian64(const std::uint8_t *p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return v;
#else
  return __builtin_bswap64(v);
#endif
}

inline std::uint32_t PeekBits(const BitState &s, unsigned n) {
  return n == 0 ? 0u : static_cast<std::uint32_t>(s.bits >> (64 - n));
}
inline void SkipBits(BitState &s, unsigned n) {
  s.bits <<= n;
  s.count -= n;
}

class BitInput {
 public:
  static constexpr std::size_t kBufferSize = 16 * 1024;

  void Start(PackedSource *source) {
    source_ = source;
    state = BitState{0, 0, buffer_, buffer_};
  }

  // Loads bits until at least 56 are available.
  BitState Refill(BitState s) {
    if (s.end - s.next >= 8) {
      s.bits |= LoadBigEndian64(s.next) >> s.count;
      s.next += (63 - s.count) >> 3;
      s.count |= 56;
      return s;
    }
    return RefillFromSource(s);
  }
  // The slow half of Refill: moves the unread bytes down and fetches more from the source.
  BitState RefillFromSource(BitState s);

  // Convenience forms over the stored state, for the rarely run block heads.
  std::uint32_t Peek(unsigned n) {
    state = Refill(state);
    return PeekBits(state, n);
  }
  void Skip(unsigned n) {
    state = Refill(state);
    SkipBits(state, n);
  }
  std::uint32_t Take(unsigned n) {
    const std::uint32_t v = Peek(n);
    SkipBits(state, n);
    return v;
  }

  BitState state{};

 private:
  PackedSource *source_ = nullptr;
  std::uint8_t buffer_[kBufferSize];
};

}  // namespace arj
