#include "app/stamp.h"

#include <cstdio>
#include <cstring>

namespace kx {

static std::uint32_t ReadLe32(const unsigned char *p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

static void WriteLe32(unsigned char *p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

StampRecord DecodeStamp(const unsigned char bytes[kStampSize]) {
  StampRecord s;
  s.payloadOffset = static_cast<std::int32_t>(ReadLe32(bytes));
  s.payloadLength = static_cast<std::int32_t>(ReadLe32(bytes + 4));
  s.silent = static_cast<signed char>(bytes[8]);
  s.requiredMB = static_cast<std::int32_t>(ReadLe32(bytes + 9));
  return s;
}

void EncodeStamp(const StampRecord &stamp, unsigned char bytes[kStampSize]) {
  WriteLe32(bytes, static_cast<std::uint32_t>(stamp.payloadOffset));
  WriteLe32(bytes + 4, static_cast<std::uint32_t>(stamp.payloadLength));
  bytes[8] = static_cast<unsigned char>(stamp.silent);
  WriteLe32(bytes + 9, static_cast<std::uint32_t>(stamp.requiredMB));
}

bool ReadPayloadStamp(const char *imagePath, StampRecord *out) {
  if (!imagePath || !out) return false;
  std::FILE *f = std::fopen(imagePath, "rb");
  if (!f) return false;
  unsigned char bytes[kStampSize] = {};
  if (std::fseek(f, static_cast<long>(kStampOffset), SEEK_SET) == 0) {
    (void)std::fread(bytes, 1, kStampSize, f);
  }
  std::fclose(f);
  *out = DecodeStamp(bytes);
  return true;
}

}  // namespace kx
