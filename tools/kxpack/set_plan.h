// What kxpack pack or build --tree will put in an archive, read before anything is written:
// every input opened once to learn that it can be read, its size and that its name is
// taken, so that a set that cannot be packed is refused with no output begun, and the
// progress line knows the totals.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/kxpack/member_pipeline.h"

namespace kxpack {

// The size of the work: members (files and member archives) and the bytes of the files.
struct SetTotals {
  std::uint64_t members = 0;
  std::uint64_t bytes = 0;
};

struct PlannedArchive;

// One member of an archive: a file, or a folder that becomes a member archive.
struct PlannedEntry {
  MemberSource file;                        // the file's; for an archive, its path and name
  std::unique_ptr<PlannedArchive> archive;  // set for a folder
};

struct PlannedArchive {
  std::string name;  // as its main header carries it
  std::vector<PlannedEntry> entries;
};

// Each path a member under its bare name, in the order given. False with a reason naming
// the first input, in order, that cannot be packed.
bool PlanFiles(const std::vector<std::string> &paths, std::vector<MemberSource> *sources,
               SetTotals *totals, std::string *why);

// Each entry of dir a member, in byte order of the names: a file (stored when its name ends
// in .ARJ), or a sub-folder named *.ARJ (any case) as a member archive planned from its own
// entries the same way. Any other sub-folder is refused. False with a reason naming the
// first entry, in that order, that cannot be packed.
bool PlanTree(const std::string &dir, const std::string &archive_name, PlannedArchive *plan,
              SetTotals *totals, std::string *why);

// The last component of a path: the name a packed file gets.
std::string BareName(const std::string &path);

}  // namespace kxpack
