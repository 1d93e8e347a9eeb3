#include "arj/member_output.h"

#include "arj/crc32.h"
#include "arj/result.h"
#include "arj/sys_file.h"

namespace arj {

bool MemberOutput::Create(const char *path, bool text, bool keep_bit7) {
  Close();
  fd_ = sys::CreateForWriting(path);
  text_ = text;
  keep_bit7_ = keep_bit7;
  crc_ = 0xFFFFFFFFu;
  return fd_ >= 0;
}

int MemberOutput::Emit(const std::uint8_t *data, std::size_t n) {
  crc_ = Crc32Update(crc_, data, n);
  if (text_) return WriteText(data, n);
  return sys::WriteFully(fd_, data, n) ? kOk : kWriteFailure;
}

int MemberOutput::WriteText(const std::uint8_t *data, std::size_t n) {
  const std::uint8_t mask = keep_bit7_ ? 0xFF : 0x7F;
  while (n > 0) {
    const std::size_t slice = n < kTextSlice ? n : kTextSlice;
    std::size_t out = 0;
    for (std::size_t i = 0; i < slice; ++i) {
      const std::uint8_t b = data[i] & mask;
#ifdef _WIN32
      if (b == '\n') staging_[out++] = '\r';
#endif
      staging_[out++] = b;
    }
    if (!sys::WriteFully(fd_, staging_, out)) return kWriteFailure;
    data += slice;
    n -= slice;
  }
  return kOk;
}

int MemberOutput::Close() {
  if (fd_ < 0) return kOk;
  const bool ok = sys::Close(fd_);
  fd_ = -1;
  return ok ? kOk : kWriteFailure;
}

}  // namespace arj
