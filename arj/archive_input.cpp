#include "arj/archive_input.h"

#include <cstring>

namespace arj {

bool ArchiveInput::Open(const char *path) {
  Close();
  fd_ = sys::OpenForReading(path);
  if (fd_ < 0) return false;
  if (!sys::Identify(fd_, &identity_)) {
    Close();
    return false;
  }
  buffer_start_ = 0;
  cursor_ = end_ = 0;
  read_size_ = kMinRead;
  return true;
}

void ArchiveInput::Close() {
  if (fd_ >= 0) sys::Close(fd_);
  fd_ = -1;
  cursor_ = end_ = 0;
  buffer_start_ = 0;
}

void ArchiveInput::Seek(std::int64_t position) {
  if (position >= buffer_start_ && position <= buffer_start_ + static_cast<std::int64_t>(end_)) {
    cursor_ = static_cast<std::size_t>(position - buffer_start_);
    return;
  }
  buffer_start_ = position;
  cursor_ = end_ = 0;
  read_size_ = kMinRead;
}

bool ArchiveInput::Refill() {
  const std::int64_t position = Tell();
  buffer_start_ = position;
  cursor_ = end_ = 0;
  if (fd_ < 0 || position < 0 || position >= identity_.size) return false;
  if (!sys::SeekTo(fd_, position)) return false;
  const std::size_t misalign = static_cast<std::size_t>(position % kChunkAlign);
  end_ = sys::ReadFully(fd_, buffer_, read_size_ - misalign);
  if (read_size_ < kBufferSize) read_size_ *= 2;
  return end_ > 0;
}

int ArchiveInput::SlowGetByte() {
  if (!Refill()) return -1;
  return buffer_[cursor_++];
}

std::size_t ArchiveInput::Available() {
  if (cursor_ < end_) return end_ - cursor_;
  return Refill() ? end_ : 0;
}

std::size_t ArchiveInput::Read(void *destination, std::size_t n) {
  std::uint8_t *out = static_cast<std::uint8_t *>(destination);
  std::size_t got = 0;
  while (got < n) {
    const std::size_t avail = Available();
    if (avail == 0) break;
    const std::size_t take = avail < n - got ? avail : n - got;
    std::memcpy(out + got, Cursor(), take);
    Advance(take);
    got += take;
  }
  return got;
}

}  // namespace arj
