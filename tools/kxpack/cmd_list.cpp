// kxpack list: one line per member, read from the headers alone.
#include <cstdio>
#include <string>

#include "arj/result.h"
#include "tools/kxpack/arj_listing.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/file_io.h"

int CmdList(const kxpack::CommandLine &line) {
  const std::string &path = line.operands()[0];
  kxpack::ArjListing listing;
  if (!kxpack::IsRegularFile(path) || !kxpack::ListArjArchive(path, &listing))
    return line.Fail("cannot open " + path);
  for (const kxpack::ArjMember &m : listing.members) {
    std::printf("%5d %u %10lu %10lu %08lX %s\n", m.position, unsigned{m.fields.method},
                static_cast<unsigned long>(m.fields.packed_size),
                static_cast<unsigned long>(m.fields.unpacked_size),
                static_cast<unsigned long>(m.fields.file_crc),
                kxpack::PrintableName(m.name).c_str());
  }
  if (!listing.complete) {
    if (listing.mainHeaderOffset < 0 || listing.failureCode == arj::kEmptyArchive)
      return line.Fail(path + ": " + listing.failure + " (" + std::to_string(listing.failureCode) +
                       ")");
    return line.Fail(path + ": damaged after member " + std::to_string(listing.members.size()) +
                     ": " + listing.failure);
  }
  return kxpack::kExitOk;
}
