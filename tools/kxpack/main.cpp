// kxpack: assembles installation images and checks images and ARJ archives.
#include <cstdio>
#include <cstring>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <string>
#include <vector>

#include "kx_version.h"
#include "tools/kxpack/command_line.h"
#include "tools/kxpack/commands.h"

namespace {

using kxpack::OptionSpec;

#ifdef __GLIBC__
constexpr int kHeapRoomBound = 1 << 20;
#endif

// Every command that works through a set member by member shows its progress, unless told not.
const OptionSpec kQuiet{"--quiet", false};

struct Command {
  const char *name;
  int (*run)(const kxpack::CommandLine &);
  std::vector<OptionSpec> options;
  const char *operands;  // their names: how many there are; "NAME..." for one or more
  const char *summary;   // one line in the list of commands
  const char *usage;     // after "usage: kxpack "
};

const Command kCommands[] = {
    {"build",
     CmdBuild,
     {{"--stub", true},
      {"--payload", true},
      {"--tree", true},
      {"--output", true},
      {"--method", true},
      {"--silent", true},
      {"--required-mb", true},
      kQuiet},
     "",
     "make an installation image: stub, payload and stamp",
     "build --stub STUB --tree DIR --output IMAGE [--method 0|1|4]\n"
     "                    [--silent N] [--required-mb N] [--quiet]\n"
     "       kxpack build --stub STUB --payload ARCHIVE --output IMAGE\n"
     "                    [--silent N] [--required-mb N] [--quiet]\n"
     "The payload, packed from a folder tree (each folder named *.ARJ becomes a member\n"
     "archive) or an archive taken as it is, is appended to the stub, and the stamp at 0x20\n"
     "says where it lies.\n"
     "  --method 0|1|4    how the files of the tree are packed (default 1)\n"
     "  --silent N        the stamp's silent flag, 0 to 255 (1: silent)\n"
     "  --required-mb N   free MB the installer needs on the temporary volume (0: 200)\n"
     "  --quiet           no progress line\n"},
    {"pack",
     CmdPack,
     {{"--output", true}, {"--method", true}, {"--best", false}, {"--threads", true}, kQuiet},
     "FILE...",
     "pack files into an ARJ archive",
     "pack --output ARCHIVE [--method 0|1|4] [--best] [--threads N] [--quiet] FILE...\n"
     "Each file becomes a member under its bare name, in the order given.\n"
     "  --method 0|1|4    0 stored, 1 (default) Huffman-coded, 4 fast\n"
     "  --best            spend time for size\n"
     "  --threads N       members packed side by side (default: one per processor); the\n"
     "                    archive is the same bytes whatever N\n"
     "  --quiet           no progress line\n"},
    {"info",
     CmdInfo,
     {},
     "IMAGE",
     "show an image's stamp and whether its payload is complete",
     "info IMAGE\n"},
    {"list",
     CmdList,
     {},
     "ARCHIVE",
     "list an archive's members from their headers",
     "list ARCHIVE\n"
     "One line per member: position, method, packed size, size, CRC-32, name.\n"},
    {"test",
     CmdTest,
     {kQuiet},
     "ARCHIVE",
     "test every member of an archive through the engine",
     "test [--quiet] ARCHIVE\n"
     "One line per member: position, the engine's result code, name.\n"},
    {"extract",
     CmdExtract,
     {kQuiet},
     "ARCHIVE DIR",
     "extract every member of an archive into a folder",
     "extract [--quiet] ARCHIVE DIR\n"
     "One line per member: position, the engine's result code, name.\n"},
    {"verify",
     CmdVerify,
     {kQuiet},
     "IMAGE",
     "check an image as the installer will unpack it",
     "verify [--quiet] IMAGE\n"
     "Tests the stamp, the payload's extent and every member, nested archives included.\n"},
};

const Command *Find(const char *name) {
  for (const Command &c : kCommands) {
    if (!std::strcmp(name, c.name)) return &c;
  }
  return nullptr;
}

void PrintUsage(std::FILE *to) {
  std::fprintf(to,
               "usage: kxpack COMMAND [OPTION...] [ARGUMENT...]\n"
               "       kxpack help COMMAND | --help | --version\n"
               "Commands:\n");
  for (const Command &c : kCommands) std::fprintf(to, "  %-9s %s\n", c.name, c.summary);
  std::fprintf(to,
               "Exit status: 0 done, 1 failed (or problems found), 2 wrong command line.\n"
               "A terminal on stderr shows progress; --quiet leaves it out.\n");
}

// Whether the operands given match the names a command expects.
bool OperandsFit(const Command &c, std::size_t given) {
  std::size_t names = 0;
  bool more = false;
  for (const char *p = c.operands; *p; ++p) {
    if (p == c.operands || p[-1] == ' ') ++names;
    if (!std::strncmp(p, "...", 3)) more = true;
  }
  return more ? given >= names : given == names;
}

void PrintCommandUsage(const Command &c) { std::printf("usage: kxpack %s", c.usage); }

int Help(int argc, char **argv) {
  if (argc == 0) {
    PrintUsage(stdout);
    return kxpack::kExitOk;
  }
  const Command *c = argc == 1 ? Find(argv[0]) : nullptr;
  if (!c) {
    std::fprintf(stderr, "kxpack help: %s\n",
                 argc == 1 ? ("unknown command '" + std::string(argv[0]) + "'").c_str()
                           : "expects one COMMAND");
    return kxpack::kExitUsage;
  }
  PrintCommandUsage(*c);
  return kxpack::kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
#ifdef __GLIBC__
  // Members' room above this comes from the system and goes back to it when freed. The heap
  // would keep it, in pieces no later member fits, and memory would grow with the set.
  mallopt(M_MMAP_THRESHOLD, kHeapRoomBound);
#endif
  if (argc < 2) {
    PrintUsage(stderr);
    return kxpack::kExitUsage;
  }
  const char *first = argv[1];
  if (!std::strcmp(first, "--help") || !std::strcmp(first, "-h")) return Help(0, nullptr);
  if (!std::strcmp(first, "help")) return Help(argc - 2, argv + 2);
  if (!std::strcmp(first, "--version")) {
    std::printf("kxpack %s\n", KX_VERSION_TEXT);
    return kxpack::kExitOk;
  }
  const Command *c = Find(first);
  if (!c) {
    std::fprintf(stderr, "kxpack: unknown command '%s'\n(kxpack --help lists the commands)\n",
                 first);
    return kxpack::kExitUsage;
  }
  kxpack::CommandLine line(c->name, c->usage);
  std::string why;
  if (!line.Parse(argc - 2, argv + 2, c->options, &why)) return line.UsageError(why);
  if (line.help()) {
    PrintCommandUsage(*c);
    return kxpack::kExitOk;
  }
  if (!OperandsFit(*c, line.operands().size())) {
    return line.UsageError(*c->operands ? std::string("expects ") + c->operands
                                        : "takes options only, not " + line.operands()[0]);
  }
  return c->run(line);
}
