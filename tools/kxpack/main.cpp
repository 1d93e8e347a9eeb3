// kxpack: assembles installation images and checks images and ARJ archives.
#include <cstdio>
#include <cstring>

#include "tools/kxpack/commands.h"

namespace {

struct Command {
  const char *name;
  int (*run)(int, char **);
  const char *usage;
};

const Command kCommands[] = {
    {"build", CmdBuild,
     "build --stub STUB --payload ARCHIVE --output IMAGE [--silent N] [--required-mb N]\n"
     "  kxpack build --stub STUB --tree DIR --output IMAGE [--method 0|1|4] [--silent N]\n"
     "                [--required-mb N]"},
    {"pack", CmdPack, "pack --output ARCHIVE [--method 0|1|4] [--best] [--threads N] FILE..."},
    {"info", CmdInfo, "info IMAGE"},
    {"list", CmdList, "list ARCHIVE"},
    {"test", CmdTest, "test ARCHIVE"},
    {"extract", CmdExtract, "extract ARCHIVE DIR"},
    {"verify", CmdVerify, "verify IMAGE"},
};

int Usage() {
  std::fprintf(stderr, "usage: kxpack COMMAND ...\n");
  for (const Command &c : kCommands) std::fprintf(stderr, "  kxpack %s\n", c.usage);
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return Usage();
  for (const Command &c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "kxpack: unknown command '%s'\n", argv[1]);
  return Usage();
}
