// The output writer: every byte of a member passes through Emit, which feeds the running
// CRC-32 with the bytes as unpacked and then writes them, for a text member with bit 7
// cleared (unless the member comes from a UNIX host) and, on Windows, with each line feed
// written as carriage return + line feed, as a text-mode stream would.
#pragma once
#include <cstddef>
#include <cstdint>

namespace arj {

class MemberOutput {
 public:
  MemberOutput() = default;
  MemberOutput(const MemberOutput &) = delete;
  MemberOutput &operator=(const MemberOutput &) = delete;
  ~MemberOutput() { Close(); }

  bool Create(const char *path, bool text, bool keep_bit7);
  // kOk, or kWriteFailure when the file takes fewer bytes than given.
  int Emit(const std::uint8_t *data, std::size_t n);
  // kOk, or kWriteFailure when the file could not be finished.
  int Close();

  // The complement of the running CRC-32 is the member's CRC.
  std::uint32_t RunningCrc() const { return crc_; }

 private:
  int WriteText(const std::uint8_t *data, std::size_t n);

  int fd_ = -1;
  bool text_ = false;
  bool keep_bit7_ = false;
  std::uint32_t crc_ = 0xFFFFFFFFu;
  static constexpr std::size_t kTextSlice = 32 * 1024;
  std::uint8_t staging_[2 * kTextSlice];  // a text slice after line-end translation
};

}  // namespace arj
