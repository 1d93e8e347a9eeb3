// kxpack verify: checks an installation image the way the installer will use it: the stamp,
// the payload's extent, and every member of the payload and of the archives nested in it.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/kxpack/archive_check.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/file_io.h"
#include "tools/kxpack/image_check.h"

namespace {

bool CopyRange(const std::string &from, std::int64_t offset, std::int64_t length,
               const std::string &to) {
  std::FILE *in = std::fopen(from.c_str(), "rb");
  if (!in) return false;
  std::FILE *out = std::fopen(to.c_str(), "wb");
  bool ok = out && kxpack::SeekTo(in, offset);
  std::vector<char> buf(65536);
  while (ok && length > 0) {
    std::size_t n = length < std::int64_t(buf.size()) ? std::size_t(length) : buf.size();
    ok = std::fread(buf.data(), 1, n, in) == n && std::fwrite(buf.data(), 1, n, out) == n;
    length -= std::int64_t(n);
  }
  if (out) ok = std::fclose(out) == 0 && ok;
  std::fclose(in);
  return ok;
}

int Fail(const std::string &why) {
  std::fprintf(stderr, "kxpack verify: %s\n", why.c_str());
  return 1;
}

}  // namespace

int CmdVerify(int argc, char **argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: kxpack verify IMAGE\n");
    return 2;
  }
  const std::string path = argv[0];
  if (!kxpack::IsRegularFile(path)) return Fail("cannot open " + path);
  kxpack::ImageCheck check;
  std::string why;
  if (!kxpack::CheckImage(path, &check, &why)) return Fail(why);
  const kx::StampRecord &s = check.stamp;
  std::printf("payload: %ld bytes at %ld, image %lld bytes\n", long(s.payloadLength),
              long(s.payloadOffset), static_cast<long long>(check.imageLength));
  if (!check.complete) return Fail("payload truncated: the image ends before the payload does");

  kxpack::ScratchDir scratch;
  if (!scratch.Create(&why)) return Fail(why);
  const std::string payload = scratch.NewPath(".arj");
  if (!CopyRange(path, s.payloadOffset, s.payloadLength, payload))
    return Fail("cannot copy the payload to " + payload);

  kxpack::CheckOptions opt;
  opt.recurse = true;
  opt.depth = 1;
  int problems = kxpack::CheckArchive(payload, &scratch, opt, stdout);
  if (problems) {
    std::printf("verify: %d problem%s\n", problems, problems == 1 ? "" : "s");
    return 1;
  }
  std::printf("verify: ok\n");
  return 0;
}
