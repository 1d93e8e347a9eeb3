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

// What the stamp's silent byte asks of a run. The byte is read here and nowhere else: every
// part of the run asks one of these questions instead.
struct SilentMode {
  bool showNoMessages = false;  // no message box: start-up's free-space one, the unpack's and
                                // the launch's failures, the self-protection's refusal
  bool placeNoCleaner = false;  // no copy of the cleaner beside the work folder
  bool runHidden = false;       // the dialog never shows and the inner installer gets /SILENT

  bool operator==(const SilentMode &o) const {
    return showNoMessages == o.showNoMessages && placeNoCleaner == o.placeNoCleaner &&
           runHidden == o.runHidden;
  }
};

// The questions for a silent field (the byte widened with its sign): any nonzero value shows
// no messages and places no cleaner; only 1 also hides the dialog and passes /SILENT. So 2, or
// 0xFF (-1), runs silently in a visible dialog, and the inner installer is told /STANDARD.
SilentMode DecodeSilent(std::int32_t silent);

// Where an image's bytes come from: the running program reads its own image through one
// handle it holds, tools and tests read a file by name.
class ImageSource {
 public:
  // Reads up to n bytes at offset into buffer; the number read, 0 at the end or on failure.
  virtual std::size_t ReadAt(std::int64_t offset, void *buffer, std::size_t n) = 0;
  // The length of the image in bytes; negative when it cannot be had.
  virtual std::int64_t Length() = 0;

 protected:
  ~ImageSource() = default;
};

// Decodes the 13 stamp bytes (little-endian fields).
StampRecord DecodeStamp(const unsigned char bytes[kStampSize]);
// Encodes a stamp into 13 bytes; silent is stored as its low byte.
void EncodeStamp(const StampRecord &stamp, unsigned char bytes[kStampSize]);

// Reads the stamp from an open image. Reads past the end of a short image leave zero bytes.
StampRecord ReadPayloadStamp(ImageSource &image);
// Reads the stamp from the image file. False, outputs untouched, when the path is missing or
// the file cannot be opened; otherwise as above.
bool ReadPayloadStamp(const char *imagePath, StampRecord *out);

// Whether the stamp describes a payload that lies wholly within an image of that length: both
// fields non-negative and their sum not past the end.
bool PayloadFits(const StampRecord &stamp, std::int64_t imageLength);

}  // namespace kx
