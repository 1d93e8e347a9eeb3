// Buffered, seekable reading of the archive file. Refills start where the reader stands and
// end on 4096-byte boundaries of the file, so a stored member's copy can tell exactly which
// whole 4096-byte chunks were available before an early end of file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "arj/sys_file.h"

namespace arj {

class ArchiveInput {
 public:
  static constexpr std::size_t kChunkAlign = 4096;
  static constexpr std::size_t kBufferSize = 64 * kChunkAlign;

  ArchiveInput() = default;
  ArchiveInput(const ArchiveInput &) = delete;
  ArchiveInput &operator=(const ArchiveInput &) = delete;
  ~ArchiveInput() { Close(); }

  bool Open(const char *path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  std::int64_t Size() const { return identity_.size; }
  const sys::FileIdentity &Identity() const { return identity_; }

  std::int64_t Tell() const { return buffer_start_ + static_cast<std::int64_t>(cursor_); }
  // Any position is allowed; beyond the end of the file reads simply find nothing.
  void Seek(std::int64_t position);

  // -1 at the end of the file (or on a read error).
  int GetByte() { return cursor_ < end_ ? buffer_[cursor_++] : SlowGetByte(); }
  std::size_t Read(void *destination, std::size_t n);

  // Bytes buffered from the current position on, refilling when none are; 0 at the end of
  // the file. The buffered run always ends on a 4096-byte boundary unless the file ends in
  // it.
  std::size_t Available();
  const std::uint8_t *Cursor() const { return buffer_ + cursor_; }
  void Advance(std::size_t n) { cursor_ += n; }

 private:
  int SlowGetByte();
  bool Refill();

  int fd_ = -1;
  sys::FileIdentity identity_;
  std::int64_t buffer_start_ = 0;  // file position of buffer_[0]
  std::size_t cursor_ = 0;
  std::size_t end_ = 0;
  // Reads start small after a jump (a header, a small member) and double while reading goes
  // on in sequence, up to the whole buffer.
  std::size_t read_size_ = kMinRead;
  static constexpr std::size_t kMinRead = 4 * kChunkAlign;
  std::uint8_t buffer_[kBufferSize];
};

}  // namespace arj
