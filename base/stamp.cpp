#include "base/stamp.h"

#include <cstdio>
#include <cstring>

#include "base/little_endian.h"

namespace kx {

namespace {

// An image file read through the C library, for callers that have a name only.
class StdioImage final : public ImageSource {
 public:
  explicit StdioImage(std::FILE *file) : file_(file) {}
  std::size_t ReadAt(std::int64_t offset, void *buffer, std::size_t n) override {
    if (offset < 0 || offset > 0x7FFFFFFF || std::fseek(file_, static_cast<long>(offset), SEEK_SET))
      return 0;
    return std::fread(buffer, 1, n, file_);
  }
  std::int64_t Length() override {
    return std::fseek(file_, 0, SEEK_END) == 0 ? std::ftell(file_) : -1;
  }

 private:
  std::FILE *file_;
};

}  // namespace

StampRecord DecodeStamp(const unsigned char bytes[kStampSize]) {
  StampRecord s;
  s.payloadOffset = static_cast<std::int32_t>(kx::LoadLe32(bytes));
  s.payloadLength = static_cast<std::int32_t>(kx::LoadLe32(bytes + 4));
  s.silent = static_cast<signed char>(bytes[8]);
  s.requiredMB = static_cast<std::int32_t>(kx::LoadLe32(bytes + 9));
  return s;
}

void EncodeStamp(const StampRecord &stamp, unsigned char bytes[kStampSize]) {
  kx::StoreLe32(bytes, static_cast<std::uint32_t>(stamp.payloadOffset));
  kx::StoreLe32(bytes + 4, static_cast<std::uint32_t>(stamp.payloadLength));
  bytes[8] = static_cast<unsigned char>(stamp.silent);
  kx::StoreLe32(bytes + 9, static_cast<std::uint32_t>(stamp.requiredMB));
}

StampRecord ReadPayloadStamp(ImageSource &image) {
  unsigned char bytes[kStampSize] = {};
  (void)image.ReadAt(static_cast<std::int64_t>(kStampOffset), bytes, kStampSize);
  return DecodeStamp(bytes);
}

bool ReadPayloadStamp(const char *imagePath, StampRecord *out) {
  if (!imagePath || !out) return false;
  std::FILE *f = std::fopen(imagePath, "rb");
  if (!f) return false;
  StdioImage image(f);
  *out = ReadPayloadStamp(image);
  std::fclose(f);
  return true;
}

SilentMode DecodeSilent(std::int32_t silent) {
  SilentMode mode;
  mode.showNoMessages = silent != 0;
  mode.placeNoCleaner = silent != 0;
  mode.runHidden = silent == 1;
  return mode;
}

bool PayloadFits(const StampRecord &stamp, std::int64_t imageLength) {
  if (stamp.payloadOffset < 0 || stamp.payloadLength < 0) return false;
  return std::int64_t(stamp.payloadOffset) + stamp.payloadLength <= imageLength;
}

}  // namespace kx
