// Writes bits most significant first, as the decoders read them, into a byte vector that
// the caller sizes ahead with Reserve (the hot loops then store without bounds checks).
// Its stores are of bytes, which may alias anything, so a hot loop works on a copy of the
// writer held in a local (whose state then stays in registers) and copies it back.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace arjenc {

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t> *out)
      : out_(out), buf_(out->data()), next_(out->data()) {
    out_->clear();
  }

  // Makes room for at least bits more bits.
  void Reserve(std::size_t bits) {
    const std::size_t used = Used();
    const std::size_t need = used + bits / 8 + 2 * sizeof(Word);
    if (out_->size() < need) {
      out_->resize(need < 2 * out_->size() ? 2 * out_->size() : need);
      buf_ = out_->data();
      next_ = buf_ + used;
    }
  }

  // value holds exactly bits bits (at most 32).
  void Put(std::uint32_t value, unsigned bits) {
    // A 32-bit word holds 24 bits more after a flush: longer values go in two parts.
    if (bits > kRoom) {
      Add(value >> 16, bits - 16);
      Flush();
      value &= 0xFFFFu;
      bits = 16;
    }
    Add(value, bits);
    Flush();
  }

  // value holds exactly bits bits, at most kMaxShortBits (a code, or a length's extra
  // bits): always one part, with no test of the count.
  static constexpr unsigned kMaxShortBits = 16;
  void PutShort(std::uint32_t value, unsigned bits) {
    Add(value, bits);
    Flush();
  }

  // Bits that always fit between two flushes: puts of that many in all may go in through
  // Add with one Flush after them.
  static constexpr unsigned kBitsBetweenFlushes = 8 * sizeof(std::uintptr_t) - 8;

  // Bits go in below the pending ones, which sit at the top of the word (in two shifts, so
  // that no bits at all shift by less than the width). value holds exactly bits bits.
  void Add(std::uint32_t value, unsigned bits) {
    acc_ |= static_cast<Word>(value) << (kWordBits - 1 - pending_ - bits) << 1;
    pending_ += bits;
  }

  // Stores the word, most significant byte first, and keeps the bits of a partly filled
  // byte: no branch on how many bits are pending.
  void Flush() {
    Word big;
    if (sizeof(Word) == 8) {
      big = static_cast<Word>(__builtin_bswap64(static_cast<std::uint64_t>(acc_)));
    } else {
      big = static_cast<Word>(__builtin_bswap32(static_cast<std::uint32_t>(acc_)));
    }
    __builtin_memcpy(next_, &big, sizeof big);
    next_ += pending_ >> 3;
    acc_ <<= pending_ & ~7u;
    pending_ &= 7u;
  }

  // Bits written so far.
  std::size_t BitCount() const { return Used() * 8 + pending_; }
  // Bytes written so far, counting a partly filled last byte.
  std::size_t ByteCount() const { return Used() + (pending_ + 7) / 8; }

  // Pads the last byte with zero bits and cuts the vector to the bytes written.
  void Finish() {
    Reserve(32);
    if (pending_ > 0) *next_++ = static_cast<std::uint8_t>(acc_ >> (kWordBits - 8));
    pending_ = 0;
    acc_ = 0;
    out_->resize(Used());
  }

 private:
  // The accumulator is a machine word: 64 bits on 64-bit builds, 32 on 32-bit ones, where
  // wider shifts take several instructions.
  using Word = std::uintptr_t;
  static constexpr unsigned kWordBits = 8 * sizeof(Word);
  // Bits that fit after a flush, leaving every shift below the word's width.
  static constexpr unsigned kRoom = kWordBits - 8;
  static_assert(kRoom == kBitsBetweenFlushes, "one room");
  static_assert(kMaxShortBits <= kRoom, "a short value goes in one part");

  std::vector<std::uint8_t> *out_;
  // Whole bytes stored.
  std::size_t Used() const { return static_cast<std::size_t>(next_ - buf_); }

  std::uint8_t *buf_;     // the vector's bytes
  std::uint8_t *next_;    // where the next whole byte goes: one pointer, not the vector's
                          // start and a count, held in the hot loops (few registers on i686)
  Word acc_ = 0;          // its top pending_ bits are not stored yet, the rest are 0
  unsigned pending_ = 0;  // below 8 between calls
};

}  // namespace arjenc
