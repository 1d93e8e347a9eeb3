// Writes 24-bit pictures as PNG files (uncompressed deflate blocks: small code, any viewer).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kxtest {

// rgb holds width * height pixels, 3 bytes each, rows top to bottom.
bool WritePng(const std::string &path, int width, int height, const std::vector<uint8_t> &rgb);

}  // namespace kxtest
