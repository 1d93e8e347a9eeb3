// The payload copy: the appended payload, byte for byte, into the work folder as KXDATA.ARJ.
#pragma once
#include "base/stamp.h"

enum class PayloadCopyOutcome {
  kCopied,
  kImageCorrupt,  // the stamp describes a payload the image does not hold
  kFailed,        // the target cannot be made, a read comes up short or a write fails
};

// Copies the payload that the stamp's fields describe from the image into workDir (which
// ends in a backslash).
PayloadCopyOutcome CopyPayload(kx::ImageSource &image, const char *workDir, int payloadOffset,
                               int payloadLength);
