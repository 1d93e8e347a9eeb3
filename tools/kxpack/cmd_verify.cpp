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

}  // namespace

int CmdVerify(const kxpack::CommandLine &line) {
  const std::string &path = line.operands()[0];
  if (!kxpack::IsRegularFile(path)) return line.Fail("cannot open " + path);
  kxpack::ImageCheck check;
  std::string why;
  if (!kxpack::CheckImage(path, &check, &why)) return line.Fail(why);
  const kx::StampRecord &s = check.stamp;
  std::printf("payload: %ld bytes at %ld, image %lld bytes\n", long(s.payloadLength),
              long(s.payloadOffset), static_cast<long long>(check.imageLength));
  if (!check.complete)
    return line.Fail("payload truncated: the image ends before the payload does");

  kxpack::ScratchDir scratch;
  if (!scratch.Create(&why)) return line.Fail(why);
  const std::string payload = scratch.NewPath(".arj");
  if (!CopyRange(path, s.payloadOffset, s.payloadLength, payload))
    return line.Fail("cannot copy the payload to " + payload);

  kxpack::Progress progress("verify", !line.Has("--quiet"));
  kxpack::CheckOptions opt;
  opt.recurse = true;
  opt.depth = 1;
  opt.progress = &progress;
  int problems = kxpack::CheckArchive(payload, &scratch, opt, stdout);
  if (problems) {
    std::printf("verify: %d problem%s\n", problems, problems == 1 ? "" : "s");
    return kxpack::kExitFailure;
  }
  std::printf("verify: ok\n");
  return kxpack::kExitOk;
}
