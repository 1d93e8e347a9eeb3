// libFuzzer harness over kxpack's PE reader: the input is the start of a would-be image.
// A parsed image ends no sooner than the smallest header set and one section entry could.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/kxpack/pe_image.h"

namespace {

// "MZ", the PE signature at offset 2 at the earliest, the COFF header, a two-byte optional
// header and one section entry.
constexpr std::int64_t kSmallestHeaders = 2 + 24 + 2 + 40;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string image(reinterpret_cast<const char *>(data), size);
  kxpack::PeLayout layout;
  std::string why;
  if (kxpack::ParsePe(image, &layout, &why)) {
    if (layout.imageEnd < kSmallestHeaders) std::abort();
  } else if (why.empty()) {
    std::abort();
  }
  return 0;
}
