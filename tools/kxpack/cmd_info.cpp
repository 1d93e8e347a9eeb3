// kxpack info: the stamp of an image and whether its payload is all there.
#include <cstdio>
#include <string>

#include "base/stamp.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/file_io.h"
#include "tools/kxpack/image_check.h"

int CmdInfo(int argc, char **argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: kxpack info IMAGE\n");
    return 2;
  }
  kxpack::ImageCheck check;
  std::string why;
  if (!kxpack::CheckImage(argv[0], &check, &why)) {
    std::fprintf(stderr, "kxpack info: %s\n", why.c_str());
    return 1;
  }
  const kx::StampRecord &s = check.stamp;
  std::printf("payloadOffset: %ld\n", long(s.payloadOffset));
  std::printf("payloadLength: %ld\n", long(s.payloadLength));
  std::printf("silent: %ld\n", long(s.silent));
  std::printf("requiredMB: %lu\n",
              static_cast<unsigned long>(static_cast<std::uint32_t>(s.requiredMB)));
  std::printf("imageLength: %lld\n", static_cast<long long>(check.imageLength));
  std::printf("payload: %s\n", check.complete ? "complete" : "truncated");
  return check.complete ? 0 : 1;
}
