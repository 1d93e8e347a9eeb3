// libFuzzer harness over kxpack's ARJ listing: the input is written as an archive file and
// walked. Members are numbered in order, their data lies inside the file (but for the one a
// failure is about), a complete walk has no failure, and printable names stay printable.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "arj/result.h"
#include "tests/fuzz/fuzz_scratch.h"
#include "tools/kxpack/arj_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string &archive = fuzz::InputFile("listing", "input.arj");
  fuzz::WriteWholeFile(archive, data, size);

  kxpack::ArjListing listing;
  if (!kxpack::ListArjArchive(archive, &listing)) std::abort();
  if (listing.complete != (listing.failureCode == 0)) std::abort();
  if (listing.complete && listing.mainHeaderOffset < 0) std::abort();
  if (!listing.members.empty() && listing.mainHeaderOffset < 0) std::abort();
  const auto end = static_cast<std::int64_t>(size);
  for (std::size_t i = 0; i < listing.members.size(); ++i) {
    const kxpack::ArjMember &m = listing.members[i];
    if (m.position != static_cast<int>(i) + 1) std::abort();
    if (m.dataOffset <= listing.mainHeaderOffset || m.dataOffset > end) std::abort();
    const bool last = i + 1 == listing.members.size();
    if (m.dataOffset + m.packedSize > end && !(last && listing.failureCode == arj::kReadFailure))
      std::abort();
    const std::string shown = kxpack::PrintableName(m.name);
    if (shown.size() != m.name.size()) std::abort();
    for (unsigned char c : shown)
      if (c < 0x20 || c >= 0x7F) std::abort();
  }
  return 0;
}
