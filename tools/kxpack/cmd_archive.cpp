// Placeholders until the archive commands land.
#include <cstdio>

#include "tools/kxpack/commands.h"

static int NotYet(const char *name) {
  std::fprintf(stderr, "kxpack: %s is not available yet\n", name);
  return 2;
}
int CmdList(int, char **) { return NotYet("list"); }
int CmdTest(int, char **) { return NotYet("test"); }
int CmdExtract(int, char **) { return NotYet("extract"); }
int CmdVerify(int, char **) { return NotYet("verify"); }
