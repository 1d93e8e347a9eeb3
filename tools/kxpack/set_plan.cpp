#include "tools/kxpack/set_plan.h"

#include "arj/format/names.h"
#include "tools/kxpack/archive_check.h"
#include "tools/kxpack/file_io.h"
#include "tools/kxpack/member_names.h"

namespace kxpack {
namespace {

// Names of archives: files stored as they are, folders made into member archives.
bool IsArchiveName(const std::string &name) {
  return arj::HasArchiveSuffix(name, arj::BareSuffix::kNotAnArchive);
}

// Opens a file to be packed as the packing will; false with the reason it will fail with.
bool PlanFile(MemberSource *source, SetTotals *totals, std::string *why) {
  InputFile file;
  const InputRead read = file.Open(source->path);
  if (read != InputRead::kOk) {
    *why = InputFailure(read, source->path);
    return false;
  }
  source->size = file.size();
  totals->members += 1;
  totals->bytes += static_cast<std::uint64_t>(file.size());
  return true;
}

// depth: the level of the archive planned, the payload being the first.
bool PlanFolder(const std::string &dir, int depth, PlannedArchive *plan, SetTotals *totals,
                std::string *why) {
  // As deep as verify looks, and no deeper: a folder link back up the tree ends here too.
  if (depth > kMaxNesting) {
    *why = dir + ": archives nested more than " + std::to_string(kMaxNesting) + " levels deep";
    return false;
  }
  std::vector<std::string> names;
  if (!ListFolder(dir, &names)) {
    *why = "cannot list folder " + dir;
    return false;
  }
  MemberNames taken;
  for (const std::string &name : names) {
    PlannedEntry entry;
    entry.file = MemberSource{dir + "/" + name, name, IsArchiveName(name)};
    const std::string &path = entry.file.path;
    if (!taken.Take(name, why)) {
      *why = path + ": " + *why;
      return false;
    }
    if (IsRegularFile(path)) {
      if (!PlanFile(&entry.file, totals, why)) return false;
    } else if (!IsDirectory(path)) {
      *why = path + ": neither a file nor a folder";
      return false;
    } else if (!IsArchiveName(name)) {
      *why = path + ": a folder in the tree must be named *.ARJ (it becomes an archive)";
      return false;
    } else {
      entry.archive.reset(new PlannedArchive{name, {}});
      totals->members += 1;
      if (!PlanFolder(path, depth + 1, entry.archive.get(), totals, why)) return false;
    }
    plan->entries.push_back(std::move(entry));
  }
  return true;
}

}  // namespace

std::string BareName(const std::string &path) {
#ifdef _WIN32
  const std::size_t cut = path.find_last_of("/\\:");
#else
  const std::size_t cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool PlanFiles(const std::vector<std::string> &paths, std::vector<MemberSource> *sources,
               SetTotals *totals, std::string *why) {
  MemberNames taken;
  for (const std::string &path : paths) {
    MemberSource source{path, BareName(path)};
    if (!taken.Take(source.name, why)) {
      *why = path + ": " + *why;
      return false;
    }
    if (!PlanFile(&source, totals, why)) return false;
    sources->push_back(std::move(source));
  }
  return true;
}

bool PlanTree(const std::string &dir, const std::string &archive_name, PlannedArchive *plan,
              SetTotals *totals, std::string *why) {
  plan->name = archive_name;
  return PlanFolder(dir, 1, plan, totals, why);
}

}  // namespace kxpack
