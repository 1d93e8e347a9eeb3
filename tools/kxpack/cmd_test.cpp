// kxpack test: extracts every member through the engine into a scratch file and reports the
// engine's result for each, as the installer would meet them.
#include <cstdio>
#include <string>

#include "arj/result.h"
#include "tools/kxpack/archive_check.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/file_io.h"

int CmdTest(int argc, char **argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: kxpack test ARCHIVE\n");
    return 2;
  }
  const std::string path = argv[0];
  if (!kxpack::IsRegularFile(path)) {
    std::fprintf(stderr, "kxpack test: cannot open %s\n", path.c_str());
    return 1;
  }
  kxpack::ScratchDir scratch;
  std::string why;
  if (!scratch.Create(&why)) {
    std::fprintf(stderr, "kxpack test: %s\n", why.c_str());
    return 1;
  }
  int probe = kxpack::ProbeArchive(path, scratch.NewPath(".out"));
  if (probe != arj::kNoSuchMember) {
    std::fprintf(stderr, "kxpack test: %s: %s (%d)\n", path.c_str(), kxpack::DescribeCode(probe),
                 probe);
    return 1;
  }
  int problems = kxpack::CheckArchive(path, &scratch, kxpack::CheckOptions(), stdout);
  return problems == 0 ? 0 : 1;
}
