// libFuzzer harness over the payload stamp: the input is the start of an image. The stamp read
// from the file must be the 13 bytes at its offset (zero where the file is short), and
// encoding a decoded stamp must give back the same bytes; a payload fits only inside the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/stamp.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string &image = fuzz::InputFile("stamp", "image.exe");
  fuzz::WriteWholeFile(image, data, size);

  unsigned char expected[kx::kStampSize] = {};
  if (size > kx::kStampOffset) {
    const std::size_t n = size - kx::kStampOffset;
    std::memcpy(expected, data + kx::kStampOffset, n < kx::kStampSize ? n : kx::kStampSize);
  }
  kx::StampRecord read;
  if (!kx::ReadPayloadStamp(image.c_str(), &read)) std::abort();

  unsigned char again[kx::kStampSize];
  kx::EncodeStamp(read, again);
  if (std::memcmp(again, expected, sizeof again) != 0) std::abort();
  const kx::StampRecord decoded = kx::DecodeStamp(expected);
  if (decoded.payloadOffset != read.payloadOffset || decoded.payloadLength != read.payloadLength ||
      decoded.silent != read.silent || decoded.requiredMB != read.requiredMB)
    std::abort();
  if (read.silent < -128 || read.silent > 127) std::abort();
  // A payload fits only wholly inside the image, with no overflow in the sum.
  const std::int64_t length = static_cast<std::int64_t>(size);
  const bool fits = read.payloadOffset >= 0 && read.payloadLength >= 0 &&
                    std::int64_t(read.payloadOffset) + read.payloadLength <= length;
  if (kx::PayloadFits(read, length) != fits) std::abort();
  return 0;
}
