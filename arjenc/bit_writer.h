// Writes bits most significant first, as the decoders read them, into a byte vector that
// the caller sizes ahead with Reserve (the hot loops then store without bounds checks).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace arjenc {

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t> *out) : out_(out) { out_->clear(); }

  // Makes room for at least bits more bits.
  void Reserve(std::size_t bits) {
    const std::size_t need = used_ + bits / 8 + 8;
    if (out_->size() < need) out_->resize(need < 2 * out_->size() ? 2 * out_->size() : need);
  }

  // value holds exactly bits bits (at most 32).
  void Put(std::uint32_t value, unsigned bits) {
    acc_ = acc_ << bits | value;
    pending_ += bits;
    if (pending_ >= 32) {
      pending_ -= 32;
      const std::uint32_t word = static_cast<std::uint32_t>(acc_ >> pending_);
      std::uint8_t *p = out_->data() + used_;
      p[0] = static_cast<std::uint8_t>(word >> 24);
      p[1] = static_cast<std::uint8_t>(word >> 16);
      p[2] = static_cast<std::uint8_t>(word >> 8);
      p[3] = static_cast<std::uint8_t>(word);
      used_ += 4;
    }
  }

  // Bits written so far.
  std::size_t BitCount() const { return used_ * 8 + pending_; }
  // Bytes written so far, counting a partly filled last byte.
  std::size_t ByteCount() const { return used_ + (pending_ + 7) / 8; }

  // Pads the last byte with zero bits and cuts the vector to the bytes written.
  void Finish() {
    Reserve(32);
    while (pending_ >= 8) {
      pending_ -= 8;
      (*out_)[used_++] = static_cast<std::uint8_t>(acc_ >> pending_);
    }
    if (pending_ > 0) (*out_)[used_++] = static_cast<std::uint8_t>(acc_ << (8 - pending_));
    pending_ = 0;
    out_->resize(used_);
  }

 private:
  std::vector<std::uint8_t> *out_;
  std::size_t used_ = 0;   // whole bytes stored
  std::uint64_t acc_ = 0;  // its low pending_ bits are not stored yet
  unsigned pending_ = 0;   // below 32 between calls
};

}  // namespace arjenc
