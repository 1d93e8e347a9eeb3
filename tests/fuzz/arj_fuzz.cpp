// libFuzzer harness over both entry points of the ARJ engine: the input is written as an
// archive file, counted, and a few members (and some positions that do not exist) are
// extracted, to a named file and under the member's own name. The input's size picks the
// form of the decoders' loops, so that every form this processor runs is fuzzed and a
// finding replays under its own.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "arj/arj.h"
#include "arj/cpu_features.h"
#include "tests/fuzz/fuzz_scratch.h"

namespace {

std::string &WorkDir() {
  static std::string dir;
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  WorkDir() = fuzz::MakeScratchFolder("arj");
  // Members written under their bare name land in the current folder.
  if (chdir(WorkDir().c_str()) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string archive = WorkDir() + "/input.arj";
  const std::string output = WorkDir() + "/member.out";
  fuzz::WriteWholeFile(archive, data, size);
  static constexpr arj::LoopForm kForms[] = {arj::LoopForm::kBaseline, arj::LoopForm::kSse2,
                                             arj::LoopForm::kBmi2};
  if (!arj::ForceLoopForm(kForms[size % 3])) arj::ForceLoopForm(arj::LoopForm::kAuto);

  char bare[16];
  const short count = arj_count_members(archive.c_str());
  const int last = count > 0 && count < 100 ? count : 1;
  for (int i = 1; i <= last && i <= 4; ++i) {
    arj_extract_member(archive.c_str(), i, output.c_str(), bare, sizeof bare);
  }
  arj_extract_member(archive.c_str(), 0, output.c_str(), bare, sizeof bare);
  arj_extract_member(archive.c_str(), last + 1, output.c_str(), bare, 1);
  if (arj_extract_member(archive.c_str(), 1, "", bare, sizeof bare) == 0) {
    // Only a safe bare name can have been written, and only here.
    struct stat st;
    if (bare[0] == '\0' || stat(bare, &st) != 0) std::abort();
    unlink(bare);
  }
  return 0;
}
