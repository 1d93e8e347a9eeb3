// The archive reader against hand-built archives: the header scan, the walks, the member
// checks and their order, the failure codes, the member counter that survives between
// calls, and the bare-name rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "arj/arj.h"
#include "arj/result.h"
#include "arj_test_support.h"

#ifdef _WIN32
#include <direct.h>
#include <sys/utime.h>
#define chdir _chdir
#define getcwd _getcwd
#else
#include <unistd.h>
#include <utime.h>
#endif

namespace arjtest {
namespace {

class ArjReader : public ::testing::Test {
 protected:
  void SetUp() override { MakeTestScratch("reader-", &dir_, &archive_, &out_); }
  void Write(const Bytes &archive) { WriteFile(archive_, archive); }
  short Count() { return arj_count_members(archive_.c_str()); }
  short Extract(int index, std::string *bare = nullptr, const std::string *out = nullptr) {
    char name[300] = "";
    const short r =
        arj_extract_member(archive_.c_str(), index, (out ? *out : out_).c_str(), name, sizeof name);
    if (bare) *bare = name;
    return r;
  }
  Bytes Output() {
    Bytes b;
    EXPECT_TRUE(ReadFile(out_, &b));
    return b;
  }
  // Resets the member counter to 0 through a count of an archive without members.
  void ZeroCounter() {
    const std::string empty = Join(dir_, "none.arj");
    WriteFile(empty, Archive({}));
    ASSERT_EQ(arj_count_members(empty.c_str()), 0);
  }

  std::string dir_, archive_, out_;
};

const Bytes kHello = ToBytes("hello, world\n");

// Turns a member into an empty method-4 member from the given archiver version.
void EmptyMethod4(Member &m, int archiver_version) {
  m.method = 4;
  m.archiver_version = archiver_version;
  m.unpacked_size = 0;
  m.file_crc = 0;
  m.data.clear();
}

TEST_F(ArjReader, StoredMembersCountAndExtract) {
  Write(Archive({Stored("A.TXT", kHello), Stored("B.BIN", ToBytes("second"))}));
  EXPECT_EQ(Count(), 2);
  std::string bare;
  EXPECT_EQ(Extract(2, &bare), arj::kOk);
  EXPECT_EQ(bare, "B.BIN");
  EXPECT_TRUE(Output() == ToBytes("second"));
  EXPECT_EQ(Extract(1, &bare), arj::kOk);
  EXPECT_EQ(bare, "A.TXT");
  EXPECT_TRUE(Output() == kHello);
}

TEST_F(ArjReader, HeaderScanPassesOverJunkAndFalseHeaders) {
  Bytes prefix(1000, 0x41);
  // A pair with a size above 2600, and one with a plausible size but a wrong CRC.
  const Bytes too_big = {0x60, 0xEA, 0x29, 0x0A};
  prefix.insert(prefix.begin() + 100, too_big.begin(), too_big.end());
  Bytes bad_crc = HeaderBytes(Stored("X", kHello));
  bad_crc[10] ^= 0xFF;
  prefix.insert(prefix.begin() + 300, bad_crc.begin(), bad_crc.end());
  Write(Archive({Stored("A.TXT", kHello)}, prefix));
  EXPECT_EQ(Count(), 1);
  EXPECT_EQ(Extract(1), arj::kOk);
  EXPECT_TRUE(Output() == kHello);
}

TEST_F(ArjReader, HeaderScanStopsAtItsLimit) {
  ZeroCounter();
  // The first header must start before position 500000.
  Write(Archive({Stored("A.TXT", kHello)}, Bytes(499999, 0)));
  EXPECT_EQ(Count(), 1);
  ZeroCounter();
  Write(Archive({Stored("A.TXT", kHello)}, Bytes(500000, 0)));
  EXPECT_EQ(Count(), arj::kNotAnArchive);
}

TEST_F(ArjReader, FilesWithoutAnArchive) {
  ZeroCounter();
  Write(Bytes{0x60, 0xEA});
  EXPECT_EQ(Count(), arj::kNotAnArchive);
  Write(Bytes{});
  EXPECT_EQ(Count(), arj::kNotAnArchive);
  // The only pair sits so close to the end that its size or CRC lies beyond it.
  Write(Bytes{1, 2, 3, 0x60, 0xEA, 0x00, 0x00, 0x00});
  EXPECT_EQ(Count(), arj::kNotAnArchive);
  Write(ToBytes("plain text, not an archive at all"));
  EXPECT_EQ(Count(), arj::kNotAnArchive);
  std::string bare;
  EXPECT_EQ(Extract(1, &bare), arj::kNotAnArchive);
  EXPECT_FALSE(FileExists(out_));
}

TEST_F(ArjReader, EndMarkerFirstIsAnEmptyArchive) {
  ZeroCounter();
  Bytes b = {9, 9, 9};
  const Bytes end = EndMarker();
  b.insert(b.end(), end.begin(), end.end());
  b.insert(b.end(), {0, 0, 0, 0});  // "CRC" of no bytes: the candidate passes the scan
  Write(b);
  EXPECT_EQ(Count(), arj::kEmptyArchive);
  EXPECT_EQ(Extract(1), arj::kEmptyArchive);
  // An archive whose main header is followed directly by the end marker has no members.
  Write(Archive({}));
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(Extract(1), arj::kNoSuchMember);
}

TEST_F(ArjReader, MainHeaderCutShortIsAReadFailure) {
  ZeroCounter();
  Bytes b = Archive({});
  b.resize(b.size() - 6);  // no extended-header size after the main header
  Write(b);
  EXPECT_EQ(Count(), arj::kReadFailure);
}

TEST_F(ArjReader, DamagedMemberHeadersFailTheCount) {
  // Counted members before the damage make the count's failure -1; damage at the first
  // member header passes its code on.
  Member third = Stored("C.TXT", kHello);
  third.break_header_crc = true;
  Write(
      Archive({Stored("A.TXT", kHello), Stored("B.TXT", kHello), third, Stored("D.TXT", kHello)}));
  EXPECT_EQ(Count(), arj::kCountFailed);
  EXPECT_EQ(Count(), arj::kCountFailed);  // the damage is not remembered as the end
  EXPECT_EQ(Extract(2), arj::kOk);
  EXPECT_EQ(Extract(3), arj::kNoSuchMember);
  EXPECT_EQ(Extract(4), arj::kNoSuchMember);

  // A header without the id after the main header.
  Bytes b = Archive({Stored("A.TXT", kHello), Stored("B.TXT", kHello)});
  const std::size_t second_at =
      b.size() - 4 - HeaderBytes(Stored("B.TXT", kHello)).size() - kHello.size();
  b[second_at] = 0x61;
  Write(b);
  EXPECT_EQ(Count(), arj::kCountFailed);
  EXPECT_EQ(Extract(2), arj::kNoSuchMember);
  EXPECT_EQ(Extract(1), arj::kOk);

  // A basic header size above 2600 for the second member.
  b[second_at] = 0x60;
  b[second_at + 2] = 0x29;
  b[second_at + 3] = 0x0A;
  Write(b);
  EXPECT_EQ(Count(), arj::kCountFailed);

  Member first = Stored("A.TXT", kHello);
  first.break_header_crc = true;
  Write(Archive({first, Stored("B.TXT", kHello)}));
  ZeroCounter();
  EXPECT_EQ(Count(), arj::kHeaderCrcError);
  EXPECT_EQ(Extract(1), arj::kNoSuchMember);

  // Data cut short after the last member: its end marker cannot be read.
  Bytes cut = Archive({Stored("A.TXT", kHello), Stored("B.TXT", kHello)});
  cut.resize(cut.size() - 4);
  Write(cut);
  EXPECT_EQ(Count(), arj::kCountFailed);
  EXPECT_EQ(Extract(3), arj::kNoSuchMember);
}

TEST_F(ArjReader, MemberCounterRuleForCounting) {
  // After a call has left the counter above 0, a failing count reports -1...
  Write(Archive({Stored("A.TXT", kHello), Stored("B.TXT", kHello)}));
  EXPECT_EQ(Extract(2), arj::kOk);
  const std::string junk = Join(dir_, "junk.bin");
  WriteFile(junk, ToBytes("nothing to see here"));
  EXPECT_EQ(arj_count_members(junk.c_str()), arj::kCountFailed);
  // ...but not for an archive that cannot be opened,
  EXPECT_EQ(arj_count_members(Join(dir_, "missing.arj").c_str()), arj::kCannotOpen);
  // ...and not when extracting.
  EXPECT_EQ(arj_extract_member(junk.c_str(), 1, out_.c_str(), nullptr, 0), arj::kNotAnArchive);
  // The failing count left the counter as it was: still -1.
  EXPECT_EQ(arj_count_members(junk.c_str()), arj::kCountFailed);
  // A walk over an archive without members sets it to 0: the code itself again.
  ZeroCounter();
  EXPECT_EQ(arj_count_members(junk.c_str()), arj::kNotAnArchive);
  // A count leaves it at the number of members.
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(arj_count_members(junk.c_str()), arj::kCountFailed);
}

TEST_F(ArjReader, PositionsWithoutAMemberKeepTheEarlierBareName) {
  Write(Archive({Stored("FIRST.TXT", kHello), Stored("SECOND.TXT", kHello)}));
  std::string bare;
  EXPECT_EQ(Extract(2, &bare), arj::kOk);
  EXPECT_EQ(bare, "SECOND.TXT");
  RemoveFile(out_);
  for (int index : {0, -1, -100000, 3, 1000}) {
    bare.clear();
    EXPECT_EQ(Extract(index, &bare), arj::kNoSuchMember) << index;
    EXPECT_EQ(bare, "SECOND.TXT") << index;
    EXPECT_FALSE(FileExists(out_));
  }
  // The bare name is cut to the caller's buffer.
  char small[5] = "xxxx";
  EXPECT_EQ(arj_extract_member(archive_.c_str(), 1, out_.c_str(), small, sizeof small), arj::kOk);
  EXPECT_STREQ(small, "FIRS");
  char one[1] = {'x'};
  EXPECT_EQ(arj_extract_member(archive_.c_str(), 9, out_.c_str(), one, sizeof one),
            arj::kNoSuchMember);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(arj_extract_member(archive_.c_str(), 9, out_.c_str(), nullptr, 0), arj::kNoSuchMember);
}

TEST_F(ArjReader, MemberChecksAndTheirOrder) {
  struct Case {
    const char *what;
    void (*change)(Member &);
    short expected;
  };
  const Case cases[] = {
      {"minimum version 4", [](Member &m) { m.min_version = 4; }, arj::kVersionTooNew},
      {"garbled", [](Member &m) { m.flags = 0x01; }, arj::kGarbledMember},
      {"method 5", [](Member &m) { m.method = 5; }, arj::kUnsupportedMethod},
      {"method 4, archiver version 1",
       [](Member &m) {
         m.method = 4;
         m.archiver_version = 1;
       },
       arj::kUnsupportedMethod},
      {"file type 3", [](Member &m) { m.file_type = 3; }, arj::kUnsupportedFileType},
      {"unsafe name", [](Member &m) { m.name = ".."; }, arj::kUnsafeMemberName},
      {"version before garbled",
       [](Member &m) {
         m.min_version = 9;
         m.flags = 0x01;
         m.method = 7;
         m.file_type = 5;
         m.name = "a/b";
       },
       arj::kVersionTooNew},
      {"garbled before method",
       [](Member &m) {
         m.flags = 0x01;
         m.method = 7;
         m.file_type = 5;
       },
       arj::kGarbledMember},
      {"method before file type",
       [](Member &m) {
         m.method = 6;
         m.file_type = 2;
       },
       arj::kUnsupportedMethod},
      {"file type before the name rule",
       [](Member &m) {
         m.file_type = 2;
         m.name = "x:y";
       },
       arj::kUnsupportedFileType},
      {"method 4 with archiver version 2 passes", [](Member &m) { EmptyMethod4(m, 2); }, arj::kOk},
      {"method 4 with archiver version 0 passes: only version 1 is refused",
       [](Member &m) { EmptyMethod4(m, 0); }, arj::kOk},
  };
  for (const Case &c : cases) {
    Member m = Stored("OK.BIN", kHello);
    c.change(m);
    Write(Archive({Stored("FIRST.TXT", kHello), m}));
    RemoveFile(out_);
    EXPECT_EQ(Extract(2), c.expected) << c.what;
    EXPECT_EQ(FileExists(out_), c.expected == arj::kOk) << c.what;
    EXPECT_EQ(Count(), 2) << c.what << ": counting applies no member checks";
  }
}

TEST_F(ArjReader, UnsafeBareNamesAreRefused) {
  // Separators, and every name Windows would read as another file or a device.
  const char *unsafe[] = {
      "",    ".",  "..", "a\\b", "a/b", "c:x",  "..\\..\\x", "CON", "lpt1.txt", "Com9",   "nul .x",
      "aux", "x.", "x ", "a*b",  "a?b", "a\"b", "a<b",       "a>b", "a|b",      "a\x01b", "a\x7f"};
  for (const char *name : unsafe) {
    Write(Archive({Stored(name, kHello)}));
    RemoveFile(out_);
    std::string bare;
    EXPECT_EQ(Extract(1, &bare), arj::kUnsafeMemberName) << name;
    EXPECT_FALSE(FileExists(out_)) << name;
  }
  // Names that only look like devices or dots stay usable.
  for (const char *name : {"CONFIG.SYS", "COM10", "LPT0", "x.y", ".hidden", "con$"}) {
    Write(Archive({Stored(name, kHello)}));
    RemoveFile(out_);
    EXPECT_EQ(Extract(1), arj::kOk) << name;
  }
  // The name rule comes before the output file is opened.
  Write(Archive({Stored("a/b", kHello)}));
  const std::string nowhere = Join(Join(dir_, "no-such-dir"), "out");
  EXPECT_EQ(Extract(1, nullptr, &nowhere), arj::kUnsafeMemberName);
  // A file name position at or past the end of the name gives an empty bare name.
  for (std::uint16_t position : {8, 9, 200, 0x8000, 0xFFFF}) {
    Member m = Stored("SUB/NAME", kHello);
    m.name_position = position;
    Write(Archive({m}));
    std::string bare = "x";
    EXPECT_EQ(Extract(1, &bare), arj::kUnsafeMemberName) << position;
    EXPECT_EQ(bare, "") << position;
  }
}

TEST_F(ArjReader, OutputThatCannotBeCreated) {
  Write(Archive({Stored("A.TXT", kHello)}));
  const std::string nowhere = Join(Join(dir_, "no-such-dir"), "out");
  EXPECT_EQ(Extract(1, nullptr, &nowhere), arj::kCannotOpen);
  const std::string too_long = Join(dir_, std::string(300, 'x'));
  EXPECT_EQ(Extract(1, nullptr, &too_long), arj::kCannotOpen);
  EXPECT_EQ(arj_count_members(std::string(600, 'a').c_str()), arj::kCannotOpen);
}

TEST_F(ArjReader, AlteredDataFailsItsCrcAndStaysOnDisk) {
  Member m = Stored("A.TXT", kHello);
  m.data[3] ^= 0x20;
  Write(Archive({m}));
  EXPECT_EQ(Extract(1), arj::kDataCrcError);
  Bytes expected = kHello;
  expected[3] ^= 0x20;
  EXPECT_TRUE(Output() == expected);
}

TEST_F(ArjReader, StoredDataCutShortWritesWholeChunksOnly) {
  // The member's data starts at offset data_at and claims more bytes than the file holds:
  // what was written before the failure ends on a 4096-byte boundary of the archive.
  Bytes content(20000);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7);
  Bytes b = Archive({Stored("BIG.BIN", content)});
  const std::size_t data_at = b.size() - 4 - content.size();
  b.resize(data_at + 13000);
  Write(b);
  EXPECT_EQ(Extract(1), arj::kReadFailure);
  const Bytes got = Output();
  const std::size_t whole = (data_at + 13000) / 4096 * 4096 - data_at;
  ASSERT_EQ(got.size(), whole);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), content.begin()));
}

TEST_F(ArjReader, EmptyMemberGivesAnEmptyFile) {
  Write(Archive({Stored("EMPTY.BIN", {})}));
  WriteFile(out_, kHello);  // an existing file is truncated
  EXPECT_EQ(Extract(1), arj::kOk);
  EXPECT_TRUE(Output().empty());
}

TEST_F(ArjReader, HostSystemDecidesBitSeven) {
  const Bytes text = {'a', 0xE9, '\n', 0x8A, 'b', 0xC1};
  for (std::uint8_t host : {0, 2, 3}) {
    Member m = Stored(std::string("N\xC1M\xC5.TXT"), text);
    m.host_system = host;
    m.file_type = 1;
    Write(Archive({m}));
    std::string bare;
    ASSERT_EQ(Extract(1, &bare), arj::kOk) << int(host);
    if (host == 2) {
      EXPECT_EQ(bare, "N\xC1M\xC5.TXT");
      EXPECT_TRUE(Output() == AsWrittenText(text));
    } else {
      EXPECT_EQ(bare, "NAME.TXT");
      // Bit 7 is cleared before line ends are translated: 0x8A becomes a line feed.
      EXPECT_TRUE(Output() == AsWrittenText({'a', 0x69, '\n', 0x0A, 'b', 0x41}));
    }
  }
  // A binary member keeps its bytes whatever the host.
  Member m = Stored("BIN.DAT", text);
  Write(Archive({m}));
  ASSERT_EQ(Extract(1), arj::kOk);
  EXPECT_TRUE(Output() == text);
}

TEST_F(ArjReader, NamesWithPathsAndSeparatorFlag) {
  Member m = Stored("dir/sub/FILE.TXT", kHello);
  m.flags = 0x10;
  m.name_position = 8;
  Write(Archive({m}));
  std::string bare;
  EXPECT_EQ(Extract(1, &bare), arj::kOk);
  EXPECT_EQ(bare, "FILE.TXT");
  // The stored name keeps its '/' characters (and is then refused as a bare name).
  m.name_position = 4;
  Write(Archive({m}));
  EXPECT_EQ(Extract(1, &bare), arj::kUnsafeMemberName);
  EXPECT_EQ(bare, "sub/FILE.TXT");
}

TEST_F(ArjReader, ExtendedHeadersAndExtraDataAreSkipped) {
  Member m = Stored("EXT.BIN", kHello);
  m.extended = {Bytes(10, 0x60), Bytes(1, 0xEA), Bytes(300, 0)};
  m.first_part_size = 34;
  m.comment = "a comment that is read and not used";
  Member n = Stored("NEXT.BIN", ToBytes("next"));
  n.extended = {Bytes(5, 1)};
  Write(Archive({m, n}));
  EXPECT_EQ(Count(), 2);
  std::string bare;
  EXPECT_EQ(Extract(2, &bare), arj::kOk);
  EXPECT_EQ(bare, "NEXT.BIN");
  EXPECT_TRUE(Output() == ToBytes("next"));
}

TEST_F(ArjReader, EmptyOutputPathWritesTheBareNameHere) {
  Write(Archive({Stored("HERE.TXT", kHello)}));
  char old_dir[1024];
  ASSERT_NE(getcwd(old_dir, sizeof old_dir), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  char bare[16];
  const short r = arj_extract_member(archive_.c_str(), 1, "", bare, sizeof bare);
  const short r2 = arj_extract_member(archive_.c_str(), 1, nullptr, bare, sizeof bare);
  ASSERT_EQ(chdir(old_dir), 0);
  EXPECT_EQ(r, arj::kOk);
  EXPECT_EQ(r2, arj::kOk);
  Bytes got;
  ASSERT_TRUE(ReadFile(Join(dir_, "HERE.TXT"), &got));
  EXPECT_TRUE(got == kHello);
}

TEST_F(ArjReader, RememberedWalkFollowsChangesToTheArchive) {
  Write(Archive({Stored("A.TXT", kHello), Stored("B.TXT", ToBytes("bee"))}));
  EXPECT_EQ(Count(), 2);
  EXPECT_EQ(Extract(2), arj::kOk);
  // The archive is replaced by a different one: new positions, new members.
  Write(Archive({Stored("LONGER-NAME.TXT", ToBytes("one")), Stored("X.TXT", ToBytes("two")),
                 Stored("Y.TXT", ToBytes("three"))}));
  std::string bare;
  EXPECT_EQ(Extract(2, &bare), arj::kOk);
  EXPECT_EQ(bare, "X.TXT");
  EXPECT_TRUE(Output() == ToBytes("two"));
  EXPECT_EQ(Count(), 3);
  // Damage to a header between calls ends the walk there.
  Bytes b = Archive({Stored("A.TXT", kHello), Stored("B.TXT", kHello), Stored("C.TXT", kHello)});
  Write(b);
  EXPECT_EQ(Count(), 3);
  EXPECT_EQ(Extract(3), arj::kOk);
  b[b.size() - 4 - kHello.size() - 5] ^= 0x55;  // inside the third header
  b.push_back(0);                               // and a new size, as an edit would give
  Write(b);
  EXPECT_EQ(Extract(3), arj::kNoSuchMember);
  EXPECT_EQ(Count(), arj::kCountFailed);
}

TEST_F(ArjReader, ArchivesAlikeInSizeAndTimeAreToldApart) {
  // Two different archives of one size and one modification time, as two archives
  // unpacked in the same second could be (Windows gives no inode numbers to tell them by).
  Bytes a = Archive({Stored("A1.TXT", kHello), Stored("A2.TXT", Bytes(10, 'a'))});
  const Bytes b = Archive(
      {Stored("B1.TXT", kHello), Stored("B2.TXT", kHello), Stored("B3.TXT", ToBytes("third"))});
  ASSERT_LT(a.size(), b.size());
  a.insert(a.begin(), b.size() - a.size(), 'x');  // junk before the archive evens the sizes
  const std::string other = Join(dir_, "other.arj");
  Write(a);
  WriteFile(other, b);
  struct utimbuf when = {1700000000, 1700000000};
  ASSERT_EQ(utime(archive_.c_str(), &when), 0);
  ASSERT_EQ(utime(other.c_str(), &when), 0);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(arj_count_members(other.c_str()), 3);
    char bare[16];
    EXPECT_EQ(arj_extract_member(other.c_str(), 3, out_.c_str(), bare, sizeof bare), arj::kOk);
    EXPECT_STREQ(bare, "B3.TXT");
    std::string name;
    EXPECT_EQ(Extract(3, &name), arj::kNoSuchMember);
    EXPECT_EQ(Extract(2, &name), arj::kOk);
    EXPECT_EQ(name, "A2.TXT");
  }
}

}  // namespace
}  // namespace arjtest
