// kxpack info: the stamp of an image and whether its payload is all there.
#include <cstdio>
#include <string>

#include "base/stamp.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/file_io.h"
#include "tools/kxpack/image_check.h"

int CmdInfo(const kxpack::CommandLine &line) {
  kxpack::ImageCheck check;
  std::string why;
  if (!kxpack::CheckImage(line.operands()[0], &check, &why)) return line.Fail(why);
  const kx::StampRecord &s = check.stamp;
  std::printf("payloadOffset: %ld\n", long(s.payloadOffset));
  std::printf("payloadLength: %ld\n", long(s.payloadLength));
  std::printf("silent: %ld\n", long(s.silent));
  std::printf("requiredMB: %lu\n",
              static_cast<unsigned long>(static_cast<std::uint32_t>(s.requiredMB)));
  std::printf("imageLength: %lld\n", static_cast<long long>(check.imageLength));
  std::printf("payload: %s\n", check.complete ? "complete" : "truncated");
  return check.complete ? kxpack::kExitOk : kxpack::kExitFailure;
}
