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

int Fail(const std::string &why) {
  std::fprintf(stderr, "kxpack extract: %s\n", why.c_str());
  return 1;
}

}  // namespace

int CmdExtract(int argc, char **argv) {
  if (argc != 2 || !*argv[1]) {
    std::fprintf(stderr, "usage: kxpack extract ARCHIVE DIR\n");
    return 2;
  }
  const std::string archive = argv[0];
  const std::string dir = argv[1];
  if (!kxpack::IsRegularFile(archive)) return Fail("cannot open " + archive);
  std::string prefix = dir;
  if (prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
  const std::string temp = prefix + TempName();
  if (temp.size() > arj::kMaxOutputPath) return Fail("folder path too long: " + dir);
  if (!kxpack::IsDirectory(dir) && !kxpack::MakeFolder(dir, kxpack::FolderAccess::kShared))
    return Fail("cannot create folder " + dir);

  int probe = kxpack::ProbeArchive(archive, temp);
  std::remove(temp.c_str());
  if (probe != arj::kNoSuchMember)
    return Fail(archive + ": " + kxpack::DescribeCode(probe) + " (" + std::to_string(probe) + ")");

  kxpack::ArjListing listing;
  if (!kxpack::ListArjArchive(archive, &listing)) return Fail("cannot open " + archive);
  const int count = kxpack::MembersToVisit(listing, arj_count_members(archive.c_str()));
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
    std::printf("%d %d %s\n", i, code, kxpack::PrintableName(name).c_str());
    if (code != arj::kOk) {
      std::remove(temp.c_str());
      ++problems;
    }
  }

  if (!listing.complete) {
    std::fprintf(stderr, "kxpack extract: %s: damaged after member %d: %s\n", archive.c_str(),
                 int(listing.members.size()), listing.failure.c_str());
    ++problems;
  }
  return problems == 0 ? 0 : 1;
}
