// kxpack list: one line per member, read from the headers alone.
#include <cstdio>
#include <string>

#include "arj/result.h"
#include "tools/kxpack/arj_listing.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/file_io.h"

int CmdList(int argc, char **argv) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: kxpack list ARCHIVE\n");
    return 2;
  }
  const std::string path = argv[0];
  kxpack::ArjListing listing;
  if (!kxpack::IsRegularFile(path) || !kxpack::ListArjArchive(path, &listing)) {
    std::fprintf(stderr, "kxpack list: cannot open %s\n", path.c_str());
    return 1;
  }
  for (const kxpack::ArjMember &m : listing.members) {
    std::printf("%5d %u %10lu %10lu %08lX %s\n", m.position, m.method,
                static_cast<unsigned long>(m.packedSize),
                static_cast<unsigned long>(m.unpackedSize), static_cast<unsigned long>(m.fileCrc),
                kxpack::PrintableName(m.name).c_str());
  }
  if (!listing.complete) {
    if (listing.mainHeaderOffset < 0 || listing.failureCode == arj::kEmptyArchive)
      std::fprintf(stderr, "kxpack list: %s: %s (%d)\n", path.c_str(), listing.failure.c_str(),
                   listing.failureCode);
    else
      std::fprintf(stderr, "kxpack list: %s: damaged after member %d: %s\n", path.c_str(),
                   int(listing.members.size()), listing.failure.c_str());
    return 1;
  }
  return 0;
}
