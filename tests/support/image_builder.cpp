#include "support/image_builder.h"

#include "support/win_harness.h"

namespace kxtest {

std::string ProgramPath() { return WinePath(KX_KXUNPACK_EXE); }

std::string PayloadBytes(std::size_t length, unsigned seed) {
  std::string out(length, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (char &c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return out;
}

bool WriteImage(const std::string &path, const ImageSpec &spec) {
  std::string image;
  if (!ReadFileBytes(ProgramPath(), &image)) return false;
  kx::StampRecord stamp;
  stamp.payloadOffset = static_cast<std::int32_t>(image.size());
  stamp.payloadLength =
      spec.overrideLength ? spec.payloadLength : static_cast<std::int32_t>(spec.payload.size());
  stamp.silent = spec.silent;
  stamp.requiredMB = static_cast<std::int32_t>(spec.requiredMB);
  kx::EncodeStamp(stamp, reinterpret_cast<unsigned char *>(&image[kx::kStampOffset]));
  return WriteFileBytes(path, image + spec.payload + spec.trailer);
}

}  // namespace kxtest
