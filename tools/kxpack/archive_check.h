// Testing an archive through the engine's two entry points, as the installer will unpack it:
// shared by `kxpack test` and `kxpack verify`.
#pragma once
#include <cstdio>
#include <string>

#include "arj/limits.h"
#include "tools/kxpack/arj_listing.h"
#include "tools/kxpack/progress.h"
#include "tools/kxpack/scratch_dir.h"

namespace kxpack {

// Room for the engine's bare name and its terminator.
constexpr std::size_t kBareNameSize = arj::kMaxBareName + 1;
// Most levels of archives that are followed, the outermost counting as the first: far more
// than any installation set uses, and a stop for a hostile payload nested without end.
constexpr int kMaxNesting = 8;

struct CheckOptions {
  bool recurse = false;          // also test members named *.ARJ (any case) as archives
  int depth = 0;                 // indentation level of the printed lines
  Progress *progress = nullptr;  // told of each archive's members and of each one checked
};

// Opens the archive through the engine and checks that its main header reads. Returns
// arj::kNoSuchMember (position 0 holds none) when it does, else the engine's failure code
// (arj::kCannotOpen, arj::kNotAnArchive, ...).
int ProbeArchive(const std::string &archive, const std::string &scratchPath);

// How many members a check or an extraction goes through: the engine's count, or, where a
// damaged header fails that count, the members the listing read before the damage.
int MembersToVisit(const ArjListing &listing, int engine_count);

// Tells progress, when there is one, of the members to visit and of their bytes, and of
// each one visited: position counts from 1.
void CountMembers(const ArjListing &listing, int count, Progress *progress);
void CountVisited(const ArjListing &listing, int position, Progress *progress);

// Extracts every member into scratch files, printing "POSITION CODE NAME" per member (nested
// archives' members indented below them), and reports damage that ends the member walk
// early. Returns the number of problems found; 0 means everything checked out.
int CheckArchive(const std::string &archive, ScratchDir *scratch, const CheckOptions &opt,
                 std::FILE *out);

// A one-line description of an engine result code.
const char *DescribeCode(int code);

}  // namespace kxpack
