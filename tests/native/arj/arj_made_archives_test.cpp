// The engine against archives made by the arj archiver from known files: every member of
// every method must come back byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "arj/arj.h"
#include "arj/result.h"
#include "arj_test_support.h"

namespace arjtest {
namespace {

// The originals, by base name (the fixture gives every file a unique one).
Bytes Original(const std::string &bare) {
  Bytes data;
  const std::string src = Join(FixtureDir(), "src");
  if (ReadFile(Join(src, bare), &data)) return data;
  if (ReadFile(Join(Join(Join(src, "sub"), "dir"), bare), &data)) return data;
  if (ReadFile(Join(Join(src, "many"), bare), &data)) return data;
  ADD_FAILURE() << "no original for " << bare;
  return data;
}

// Extracts every member and compares it with its original; returns the bare names in order.
std::vector<std::string> ExtractAndCompare(const std::string &archive_name, bool text,
                                           const std::string &scratch) {
  const std::string archive = Join(FixtureDir(), archive_name);
  const std::string out_dir = ScratchDir(scratch);
  const short count = arj_count_members(archive.c_str());
  std::vector<std::string> names;
  EXPECT_GT(count, 0) << archive;
  for (int i = 1; i <= count; ++i) {
    char bare[64] = "unchanged";
    const std::string out = Join(out_dir, "member" + std::to_string(i));
    EXPECT_EQ(arj_extract_member(archive.c_str(), i, out.c_str(), bare, sizeof bare), arj::kOk)
        << archive_name << " member " << i;
    names.push_back(bare);
    Bytes got;
    EXPECT_TRUE(ReadFile(out, &got));
    const Bytes original = Original(bare);
    const Bytes expected = text ? AsWrittenText(original) : original;
    EXPECT_TRUE(got == expected) << archive_name << " member " << i << " (" << bare
                                 << "): " << got.size() << " bytes, expected " << expected.size();
  }
  return names;
}

const std::vector<std::string> kMixedMembers = {"small.txt", "empty.bin", "big.bin",
                                                "big.txt",   "noise.bin", "runs.bin"};

// Every form of the decoders' loops (the i686 build's SSE2 one too) where the processor runs it.
TEST(ArjMadeArchives, EveryMethodRestoresEveryMember) {
  ForEachLoopForm([] {
    for (int m = 0; m <= 4; ++m) {
      SCOPED_TRACE("method " + std::to_string(m));
      const std::string name = "m" + std::to_string(m) + ".arj";
      EXPECT_EQ(arj_count_members(Join(FixtureDir(), name).c_str()), 6);
      EXPECT_EQ(ExtractAndCompare(name, false, "made-m" + std::to_string(m)), kMixedMembers);
    }
  });
}

TEST(ArjMadeArchives, TextMembersAreWrittenInTextMode) {
  EXPECT_EQ(ExtractAndCompare("text1.arj", true, "made-text1"),
            (std::vector<std::string>{"small.txt", "big.txt", "high.txt"}));
  ExtractAndCompare("text4.arj", true, "made-text4");
  ExtractAndCompare("text0.arj", true, "made-text0");
}

TEST(ArjMadeArchives, StoredPathsGiveBareNames) {
  EXPECT_EQ(ExtractAndCompare("paths.arj", false, "made-paths"),
            (std::vector<std::string>{"nested.txt", "small.txt"}));
}

TEST(ArjMadeArchives, ManyMembersInAnyOrder) {
  const std::string archive = Join(FixtureDir(), "many.arj");
  ASSERT_EQ(arj_count_members(archive.c_str()), 300);
  ExtractAndCompare("many.arj", false, "made-many");
  // Out of order, and again after a count: each position still names the same member.
  const std::string out_dir = ScratchDir("made-many-order");
  std::map<int, std::string> first;
  for (int i : {300, 7, 150, 1, 299, 7}) {
    char bare[16];
    const std::string out = Join(out_dir, "x");
    ASSERT_EQ(arj_extract_member(archive.c_str(), i, out.c_str(), bare, sizeof bare), arj::kOk)
        << i;
    if (first.count(i)) {
      EXPECT_EQ(first[i], bare);
    }
    first[i] = bare;
    Bytes got;
    ASSERT_TRUE(ReadFile(out, &got));
    EXPECT_TRUE(got == Original(bare)) << i;
    EXPECT_EQ(arj_count_members(archive.c_str()), 300);
  }
  char bare[16];
  EXPECT_EQ(arj_extract_member(archive.c_str(), 301, Join(out_dir, "y").c_str(), bare, sizeof bare),
            arj::kNoSuchMember);
  EXPECT_STREQ(bare, first[7].c_str()) << "the bare name of the previous call";
  EXPECT_FALSE(FileExists(Join(out_dir, "y")));
}

TEST(ArjMadeArchives, PathIsFoundWhateverItsCase) {
  // The engine upper-cases the path; the real file is spelled in mixed case.
  std::string path = Join(Join(Join(FixtureDir(), "mixed"), "case"), "archive.arj");
  EXPECT_EQ(arj_count_members(path.c_str()), 6);
  const std::string out = Join(ScratchDir("made-case"), "out");
  char bare[16];
  ASSERT_EQ(arj_extract_member(path.c_str(), 3, out.c_str(), bare, sizeof bare), arj::kOk);
  Bytes got;
  ASSERT_TRUE(ReadFile(out, &got));
  EXPECT_TRUE(got == Original("big.bin"));
  EXPECT_EQ(arj_count_members(Join(FixtureDir(), "no-such.arj").c_str()), arj::kCannotOpen);
}

}  // namespace
}  // namespace arjtest
