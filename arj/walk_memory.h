// Where the member headers of the archive last walked lie, so that extracting member k
// reads one header instead of walking members 1 to k-1 again. Trusted only while the file
// keeps its path and identity (device, inode, size, modification and change times) and its
// main header still reads with the same CRC; every remembered member header is read again
// and must match its remembered CRC.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "arj/sys_file.h"

namespace arj {

class WalkMemory {
 public:
  // Bounded so that a hostile archive of millions of empty members cannot grow it without
  // limit; members past the bound are reached by walking on from the last one remembered.
  static constexpr std::size_t kMaxMembers = 1u << 18;

  struct Mark {
    std::int64_t header_offset;
    std::uint32_t header_crc;
  };

  void Reset() {
    valid_ = false;
    count_ = 0;
    end_known_ = false;
  }
  // The path counts too: where the platform has no inode numbers, two archives unpacked
  // in the same second with the same size would otherwise look alike.
  bool Matches(const char *path, const sys::FileIdentity &identity) const {
    return valid_ && identity_ == identity && std::strcmp(path_, path) == 0;
  }
  void Begin(const char *path, const sys::FileIdentity &identity, std::int64_t main_offset,
             std::uint32_t main_crc, std::int64_t first_member_offset) {
    Reset();
    if (std::strlen(path) >= sizeof path_) return;
    std::strcpy(path_, path);
    valid_ = true;
    identity_ = identity;
    main_offset_ = main_offset;
    main_crc_ = main_crc;
    first_member_offset_ = first_member_offset;
  }

  // Where the main header lies and its CRC, checked again on every call.
  std::int64_t main_offset() const { return main_offset_; }
  std::uint32_t main_crc() const { return main_crc_; }

  std::int64_t first_member_offset() const { return first_member_offset_; }
  std::size_t count() const { return count_; }
  const Mark &mark(std::size_t i) const { return marks_[i]; }
  bool end_known() const { return end_known_; }
  // Where the header after the last remembered member starts.
  std::int64_t resume_offset() const { return count_ ? resume_offset_ : first_member_offset_; }

  // Records member number count()+1; false once the bound (or memory) is exhausted.
  bool Add(std::int64_t header_offset, std::uint32_t header_crc, std::int64_t next_offset) {
    if (count_ == capacity_ && !Grow()) return false;
    marks_[count_++] = Mark{header_offset, header_crc};
    resume_offset_ = next_offset;
    return true;
  }
  void MarkEnd() { end_known_ = true; }

 private:
  bool Grow() {
    if (capacity_ >= kMaxMembers) return false;
    const std::size_t wanted = capacity_ ? capacity_ * 2 : 256;
    std::unique_ptr<Mark[]> bigger(new (std::nothrow) Mark[wanted]);
    if (!bigger) return false;
    for (std::size_t i = 0; i < count_; ++i) bigger[i] = marks_[i];
    marks_ = std::move(bigger);
    capacity_ = wanted;
    return true;
  }

  bool valid_ = false;
  char path_[512] = {};
  sys::FileIdentity identity_;
  std::int64_t main_offset_ = 0;
  std::uint32_t main_crc_ = 0;
  std::int64_t first_member_offset_ = 0;
  std::int64_t resume_offset_ = 0;
  bool end_known_ = false;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
  std::unique_ptr<Mark[]> marks_;
};

}  // namespace arj
