// A header-only walk over an ARJ archive for `kxpack list` and for cross-checking the engine:
// the engine counts and extracts but does not tell where a walk stopped or why.
// Bounded on hostile input: headers are at most 2600 bytes, every member's data must lie
// inside the file, and each step moves strictly forward, so a walk always ends.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "arj/format/header_fields.h"

namespace kxpack {

struct ArjMember {
  int position = 0;  // 1-based
  arj::HeaderFields fields;
  std::string name;  // as stored (path included), bit 7 cleared unless the host is UNIX
  std::int64_t dataOffset = 0;
  std::uint32_t packedSize = 0;  // fields.packed_size: the member's data runs this far
};

struct ArjListing {
  std::int64_t mainHeaderOffset = -1;  // -1 when no main header was found
  std::vector<ArjMember> members;
  bool complete = false;  // the walk reached the end marker
  int failureCode = 0;    // the engine's code for the fault that stopped the walk, else 0
  std::string failure;    // what stopped the walk, for the user
};

// Walks the archive's headers the way the engine reads them: the first valid header within
// the first 500000 bytes is the main header, then member headers up to the end marker.
// False when the file cannot be opened; otherwise true, with the walk's outcome in *out.
bool ListArjArchive(const std::string &path, ArjListing *out);

// A stored name with control and non-ASCII bytes replaced, safe to print on a terminal.
std::string PrintableName(const std::string &name);

}  // namespace kxpack
