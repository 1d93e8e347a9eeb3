#include "arj/bit_input.h"

#include "arj/archive_input.h"

namespace arj {

void PackedSource::Produce(std::uint8_t *destination, std::size_t n) {
  while (n > 0) {
    if (packed_left_ == 0) {
      std::memset(destination, 0, n);
      return;
    }
    std::size_t take = n < packed_left_ ? n : packed_left_;
    if (!file_ended_) {
      const std::size_t avail = input_->Available();
      if (avail == 0) {
        file_ended_ = true;
        continue;
      }
      if (avail < take) take = avail;
      std::memcpy(destination, input_->Cursor(), take);
      input_->Advance(take);
    } else {
      std::memset(destination, 0xFF, take);
    }
    destination += take;
    n -= take;
    packed_left_ -= static_cast<std::uint32_t>(take);
  }
}

BitState BitInput::RefillFromSource(BitState s) {
  const std::size_t rest = static_cast<std::size_t>(s.end - s.next);
  std::memmove(buffer_, s.next, rest);
  source_->Produce(buffer_ + rest, kBufferSize - rest);
  s.next = buffer_;
  s.end = buffer_ + kBufferSize;
  return Refill(s);
}

}  // namespace arj
