// The member's packed bits, most significant bit first. Bits are kept in one machine word
// (64 bits on x86-64, 32 on i686, where a wider one would hold two of its seven registers),
// refilled a word at a time from a buffer, so the decoders' hot loops look bits up with
// shifts instead of reading byte by byte.
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

using BitWord = std::uintptr_t;
constexpr unsigned kWordBits = 8 * sizeof(BitWord);
// A refill loads whole bytes until fewer than eight bits of the word are free: at least this
// many bits are then at hand (56 or 24). Decoders refill again where a step may need more.
constexpr unsigned kRefillBits = kWordBits - 8;

// Reader state, kept in locals by the hot loops (by value, so byte stores to the output
// cannot be taken to alias it).
struct BitState {
  BitWord bits;    // upcoming bits, the earliest in the top position, zeros below them
  unsigned count;  // how many of them are loaded
  const std::uint8_t *next;
  const std::uint8_t *end;
};

inline BitWord LoadBigEndianWord(const std::uint8_t *p) {
  BitWord v;
  std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return v;
#else
  if constexpr (sizeof v == 8) {
    return static_cast<BitWord>(__builtin_bswap64(v));
  } else {
    return static_cast<BitWord>(__builtin_bswap32(static_cast<std::uint32_t>(v)));
  }
#endif
}

// Leading zero bits of a word that is not zero.
inline unsigned LeadingZeros(BitWord v) {
  if constexpr (sizeof v == sizeof(unsigned long long)) {
    return static_cast<unsigned>(__builtin_clzll(v));
  } else {
    return static_cast<unsigned>(__builtin_clz(static_cast<unsigned>(v)));
  }
}

// The next n bits (0 to kRefillBits of those loaded).
inline std::uint32_t PeekBits(const BitState &s, unsigned n) {
  return n == 0 ? 0u : static_cast<std::uint32_t>(s.bits >> (kWordBits - n));
}
inline void SkipBits(BitState &s, unsigned n) {
  s.bits <<= n;
  s.count -= n;
}

// A code that is read as one number of its full width (up to kRefillBits, none too) and
// becomes its value by an added constant, modulo 2^32: the decoders' tables give both.
struct FieldCode {
  std::uint32_t bits;
  std::uint32_t offset;
};
inline std::uint32_t TakeCode(BitState &s, const FieldCode &code) {
  // Two shifts, so that a code of no bits reads zero. The second shift's count is
  // kWordBits - 1 - code.bits, taken with an exclusive or (code.bits is below kWordBits, whose
  // less one is all ones): an immediate operand, no register to hold the constant.
  const std::uint32_t v =
      static_cast<std::uint32_t>((s.bits >> 1) >> ((kWordBits - 1) ^ code.bits));
  SkipBits(s, code.bits);
  return v + code.offset;
}

class BitInput {
 public:
  static constexpr std::size_t kBufferSize = 16 * 1024;
  // Unread bytes below which ReserveSteps fetches more: enough for thousands of steps.
  static constexpr std::size_t kReserve = kBufferSize / 4;

  void Start(PackedSource *source) {
    source_ = source;
    state = BitState{0, 0, buffer_, buffer_};
  }

  // Loads bits until at least kRefillBits are available. The fast path reads one whole word
  // from the buffer without a byte count: the bytes past the last whole one are read again
  // by the next refill, and the same bits ORed twice are the same bits.
  BitState Refill(BitState s) {
    if (__builtin_expect(s.end - s.next >= static_cast<std::ptrdiff_t>(sizeof(BitWord)), 1)) {
      return RefillWord(s);
    }
    // A fresh copy, made only here: the hot loops keep their own state in registers.
    return RefillFromSource(BitState{s.bits, s.count, s.next, s.end});
  }
  // The refill without the look at the buffer's end, for steps that ReserveSteps counted.
  static BitState RefillWord(BitState s) {
    s.bits |= LoadBigEndianWord(s.next) >> s.count;
    s.next += ((kWordBits - 1) ^ s.count) >> 3;  // count is below kWordBits: see TakeCode
    s.count |= kRefillBits;
    return s;
  }
  // How many steps, each taking at most step_bytes bytes of the stream, may refill with
  // RefillWord from here on. Fetches more from the source first when the buffer runs low,
  // so the fast loops stop for the careful path only near the end of the output.
  std::size_t ReserveSteps(BitState &s, std::size_t step_bytes) {
    if (s.end - s.next < static_cast<std::ptrdiff_t>(kReserve)) s = RefillFromSource(s);
    // The last refill reads a word at most one word past the bytes taken.
    return (static_cast<std::size_t>(s.end - s.next) - 2 * sizeof(BitWord)) / step_bytes;
  }
  // The careful path near the end of the buffer, out of the hot loops: moves the unread bytes
  // down and fetches more from the source.
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
