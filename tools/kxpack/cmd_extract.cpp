// kxpack extract: every member into a folder under its bare name. Each member is written to
// a temporary name and renamed only once the engine has checked its CRC, so a failed member
// never leaves a partial file under its own name.
#include <cstdio>
#include <string>

#include "arj/arj.h"
#include "arj/limits.h"
#include "arj/member_name.h"
#include "arj/result.h"
#include "tools/kxpack/archive_check.h"
#include "tools/kxpack/arj_listing.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/file_io.h"

namespace {

std::string TempName() { return ".kxpack-" + std::to_string(kxpack::ProcessId()) + ".part"; }

}  // namespace

int CmdExtract(const kxpack::CommandLine &line) {
  const std::string &archive = line.operands()[0];
  const std::string &dir = line.operands()[1];
  if (dir.empty()) return line.UsageError("DIR must not be empty");
  if (!kxpack::IsRegularFile(archive)) return line.Fail("cannot open " + archive);
  std::string prefix = dir;
  if (prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
  const std::string temp = prefix + TempName();
  if (temp.size() > arj::kMaxOutputPath) return line.Fail("folder path too long: " + dir);
  if (!kxpack::IsDirectory(dir) && !kxpack::MakeFolder(dir, kxpack::FolderAccess::kShared))
    return line.Fail("cannot create folder " + dir);

  int probe = kxpack::ProbeArchive(archive, temp);
  std::remove(temp.c_str());
  if (probe != arj::kNoSuchMember)
    return line.Fail(archive + ": " + kxpack::DescribeCode(probe) + " (" + std::to_string(probe) +
                     ")");

  kxpack::ArjListing listing;
  if (!kxpack::ListArjArchive(archive, &listing)) return line.Fail("cannot open " + archive);
  const int count = kxpack::MembersToVisit(listing, arj_count_members(archive.c_str()));
  kxpack::Progress progress("extract", !line.Has("--quiet"));
  kxpack::CountMembers(listing, count, &progress);
  int problems = 0;
  for (int i = 1; i <= count; ++i) {
    char name[kxpack::kBareNameSize] = {};
    std::remove(temp.c_str());
    int code = arj_extract_member(archive.c_str(), i, temp.c_str(), name, sizeof name);
    if (code == arj::kOk && !arj::IsSafeMemberName(name)) code = arj::kUnsafeMemberName;
    if (code == arj::kOk) {
      std::string target = prefix + name;
      if (target.size() > arj::kMaxOutputPath || !kxpack::RenameReplacing(temp, target))
        code = arj::kWriteFailure;
    }
    kxpack::CountVisited(listing, i, &progress);
    kxpack::ClearProgressLine(stdout);
    std::printf("%d %d %s\n", i, code, kxpack::PrintableName(name).c_str());
    if (code != arj::kOk) {
      std::remove(temp.c_str());
      ++problems;
    }
  }

  if (!listing.complete) {
    return line.Fail(archive + ": damaged after member " + std::to_string(listing.members.size()) +
                     ": " + listing.failure);
  }
  return problems == 0 ? kxpack::kExitOk : kxpack::kExitFailure;
}
