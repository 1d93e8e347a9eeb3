#include "tools/kxpack/archive_check.h"

#include "arj/arj.h"
#include "arj/format/names.h"
#include "arj/result.h"
#include "tools/kxpack/arj_listing.h"

namespace kxpack {

const char *DescribeCode(int code) {
  static const struct {
    int code;
    const char *text;
  } kTexts[] = {
      {arj::kOk, "ok"},
      {arj::kNoSuchMember, "no such member"},
      {arj::kEmptyArchive, "empty archive"},
      {arj::kBadHeader, "bad header"},
      {arj::kBadCodeData, "bad code table"},
      {arj::kCannotOpen, "cannot open"},
      {arj::kReadFailure, "read failure"},
      {arj::kWriteFailure, "write failure"},
      {arj::kDataCrcError, "data CRC error"},
      {arj::kGarbledMember, "garbled member"},
      {arj::kHeaderCrcError, "header CRC error"},
      {arj::kOutOfMemory, "out of memory"},
      {arj::kNotAnArchive, "not an ARJ archive"},
      {arj::kUnsupportedMethod, "unsupported method"},
      {arj::kUnsupportedFileType, "unsupported file type"},
      {arj::kVersionTooNew, "version too new"},
      {arj::kUnsafeMemberName, "unsafe member name"},
  };
  for (const auto &t : kTexts) {
    if (t.code == code) return t.text;
  }
  return "failure";
}

int ProbeArchive(const std::string &archive, const std::string &scratchPath) {
  // Position 0 is never a member: the engine reads the main header and every member header,
  // writes nothing and answers kNoSuchMember, or fails on the archive itself with its code.
  char name[kBareNameSize] = {};
  return arj_extract_member(archive.c_str(), 0, scratchPath.c_str(), name, sizeof name);
}

namespace {

void Indent(std::FILE *out, int depth) {
  for (int i = 0; i < depth; ++i) std::fputs("  ", out);
}

}  // namespace

int MembersToVisit(const ArjListing &listing, int engine_count) {
  return listing.complete ? engine_count : static_cast<int>(listing.members.size());
}

void CountMembers(const ArjListing &listing, int count, Progress *progress) {
  if (!progress) return;
  std::uint64_t bytes = 0;
  for (const ArjMember &m : listing.members) bytes += m.fields.unpacked_size;
  progress->AddTotal(count > 0 ? static_cast<std::uint64_t>(count) : 0, bytes);
}

void CountVisited(const ArjListing &listing, int position, Progress *progress) {
  if (!progress) return;
  const std::size_t at = static_cast<std::size_t>(position - 1);
  progress->Done(1, at < listing.members.size() ? listing.members[at].fields.unpacked_size : 0);
}

int CheckArchive(const std::string &archive, ScratchDir *scratch, const CheckOptions &opt,
                 std::FILE *out) {
  const std::string member = scratch->NewPath(".out");
  int probe = ProbeArchive(archive, member);
  if (probe != arj::kNoSuchMember) {
    Indent(out, opt.depth);
    std::fprintf(out, "archive error %d: %s\n", probe, DescribeCode(probe));
    return 1;
  }
  ArjListing listing;
  if (!ListArjArchive(archive, &listing)) {
    Indent(out, opt.depth);
    std::fprintf(out, "archive error %d: %s\n", arj::kCannotOpen, DescribeCode(arj::kCannotOpen));
    return 1;
  }
  const int count = arj_count_members(archive.c_str());
  int problems = 0;
  const int visits = MembersToVisit(listing, count);
  CountMembers(listing, visits, opt.progress);
  for (int i = 1; i <= visits; ++i) {
    char name[kBareNameSize] = {};
    std::remove(member.c_str());
    int code = arj_extract_member(archive.c_str(), i, member.c_str(), name, sizeof name);
    CountVisited(listing, i, opt.progress);
    ClearProgressLine(out);
    Indent(out, opt.depth);
    std::fprintf(out, "%d %d %s\n", i, code, PrintableName(name).c_str());
    if (code != arj::kOk) {
      ++problems;
      continue;
    }
    if (!opt.recurse || !arj::HasArchiveSuffix(name, arj::BareSuffix::kAnArchive)) continue;
    if (opt.depth + 1 > kMaxNesting) {
      Indent(out, opt.depth + 1);
      std::fprintf(out, "archive nested more than %d levels deep: not checked\n", kMaxNesting);
      ++problems;
      continue;
    }
    // The nested archive keeps a name of its own while this walk goes on.
    std::string nested = scratch->NewPath(".arj");
    if (std::rename(member.c_str(), nested.c_str()) != 0) {
      Indent(out, opt.depth + 1);
      std::fprintf(out, "cannot keep the extracted archive for checking\n");
      ++problems;
      continue;
    }
    CheckOptions inner = opt;
    inner.depth = opt.depth + 1;
    problems += CheckArchive(nested, scratch, inner, out);
    std::remove(nested.c_str());
  }
  std::remove(member.c_str());

  ClearProgressLine(out);
  if (!listing.complete) {
    Indent(out, opt.depth);
    std::fprintf(out, "archive damaged after member %d: %s (%d)\n", int(listing.members.size()),
                 listing.failure.c_str(), listing.failureCode);
    ++problems;
  } else if (int(listing.members.size()) != count) {
    Indent(out, opt.depth);
    std::fprintf(out, "engine counted %d members, headers list %d\n", count,
                 int(listing.members.size()));
    ++problems;
  }
  return problems;
}

}  // namespace kxpack
