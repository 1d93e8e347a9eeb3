// The payload stamp: 13 bytes at offset 0x20 of the image's DOS header that say where the
// appended payload lies. Portable: no windows.h.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kx {

constexpr std::size_t kStampOffset = 0x20;
constexpr std::size_t kStampSize = 13;

struct StampRecord {
  std::int32_t payloadOffset = 0;
  std::int32_t payloadLength = 0;
  std::int32_t silent = 0;  // the stamp byte widened with its sign
  std::int32_t requiredMB = 0;
};

// Decodes the 13 stamp bytes (little-endian fields).
StampRecord DecodeStamp(const unsigned char bytes[kStampSize]);
// Encodes a stamp into 13 bytes; silent is stored as its low byte.
void EncodeStamp(const StampRecord &stamp, unsigned char bytes[kStampSize]);

// Reads the stamp from the image file. False, outputs untouched, when the path is missing or
// the file cannot be opened. Reads past the end of a short file leave zero bytes.
bool ReadPayloadStamp(const char *imagePath, StampRecord *out);

}  // namespace kx
