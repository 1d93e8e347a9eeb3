// kxpack test: extracts every member through the engine into a scratch file and reports the
// engine's result for each, as the installer would meet them.
#include <cstdio>
#include <string>

#include "arj/result.h"
#include "tools/kxpack/archive_check.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/file_io.h"

int CmdTest(const kxpack::CommandLine &line) {
  const std::string &path = line.operands()[0];
  if (!kxpack::IsRegularFile(path)) return line.Fail("cannot open " + path);
  kxpack::ScratchDir scratch;
  std::string why;
  if (!scratch.Create(&why)) return line.Fail(why);
  int probe = kxpack::ProbeArchive(path, scratch.NewPath(".out"));
  if (probe != arj::kNoSuchMember)
    return line.Fail(path + ": " + kxpack::DescribeCode(probe) + " (" + std::to_string(probe) +
                     ")");
  kxpack::Progress progress("test", !line.Has("--quiet"));
  kxpack::CheckOptions opt;
  opt.progress = &progress;
  int problems = kxpack::CheckArchive(path, &scratch, opt, stdout);
  return problems == 0 ? kxpack::kExitOk : kxpack::kExitFailure;
}
