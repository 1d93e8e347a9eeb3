#include "app/payload_copy.h"

#include <io.h>

#include "app/file_write.h"
#include "base/ansi_path.h"
#include "base/text.h"

namespace {

constexpr int kBlockSize = 4096;

}  // namespace

PayloadCopyOutcome CopyPayload(kx::ImageSource &image, const char *workDir, int payloadOffset,
                               int payloadLength) {
  static char block[kBlockSize];
  if (!workDir) return PayloadCopyOutcome::kFailed;
  char target[kx::kPathCap] = {};
  if (!Joined(JoinUnder(target, workDir, "KXDATA.ARJ"))) return PayloadCopyOutcome::kFailed;

  kx::StampRecord where;
  where.payloadOffset = payloadOffset;
  where.payloadLength = payloadLength;
  if (!kx::PayloadFits(where, image.Length())) return PayloadCopyOutcome::kImageCorrupt;

  int out = OpenForWriting(target);
  if (out < 0) return PayloadCopyOutcome::kFailed;
  bool ok = true;
  std::int64_t at = payloadOffset;
  for (int left = payloadLength; ok && left > 0;) {
    int chunk = left < kBlockSize ? left : kBlockSize;
    ok = image.ReadAt(at, block, static_cast<size_t>(chunk)) == static_cast<size_t>(chunk) &&
         WriteAll(out, block, static_cast<unsigned>(chunk));
    at += chunk;
    left -= chunk;
  }
  ok = _close(out) == 0 && ok;
  return ok ? PayloadCopyOutcome::kCopied : PayloadCopyOutcome::kFailed;
}
