// kxpack list, test, extract and verify over archives made by the arj archiver at test time
// (and a few hand-made hostile ones), driven as a subprocess.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "tests/native/kxpack/pe_writer.h"
#include "tests/native/kxpack/support.h"

namespace {

using kxtest::Kxpack;
using kxtest::ReadFile;
using kxtest::RunResult;
using kxtest::WriteFile;

std::string Hex8(std::uint32_t v) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

// A hand-made archive as the bytes of a file.
std::string HandArchive(const std::vector<kxtest::HandMember> &members) {
  return kxtest::ToString(kxtest::Archive(members));
}

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kxtest::FreshFolder();
    src_ = dir_ + "/src";
    kxtest::Run({"/bin/mkdir", "-p", src_});
    Add("README.TXT", kxtest::TextContent(1, 30000));
    Add("DATA.BIN", kxtest::NoiseContent(2, 5000));
    Add("EMPTY.DAT", "");
    Add("SETUP.INI", kxtest::TextContent(3, 700));
  }

  void Add(const std::string &name, const std::string &data) {
    files_[name] = data;
    order_.push_back(name);
    WriteFile(src_ + "/" + name, data);
  }

  std::string Make(const std::string &archive, int method) {
    kxtest::MakeArj(src_, dir_ + "/" + archive, order_, method);
    return dir_ + "/" + archive;
  }

  // Flips one byte of a member's data in place.
  void CorruptData(const std::string &archive, int position) {
    std::string a = ReadFile(archive);
    auto spans = kxtest::MemberSpans(a);
    ASSERT_GE(int(spans.size()), position);
    const kxtest::MemberSpan &m = spans[position - 1];
    ASSERT_GT(m.packed, 0u);
    a[m.data + m.packed / 2] ^= 0x20;
    WriteFile(archive, a);
  }

  // Damages a member's header so that its CRC no longer matches.
  void CorruptHeader(const std::string &archive, int position) {
    std::string a = ReadFile(archive);
    auto spans = kxtest::MemberSpans(a);
    ASSERT_GE(int(spans.size()), position);
    a[spans[position - 1].header + 4 + 8] ^= 0x01;  // the date, under the header CRC
    WriteFile(archive, a);
  }

  std::string dir_, src_;
  std::map<std::string, std::string> files_;
  std::vector<std::string> order_;
};

// list

TEST_F(ArchiveTest, ListShowsEachMembersFieldsInOrder) {
  for (int method : {0, 1, 2, 3, 4}) {
    std::string archive = Make("m" + std::to_string(method) + ".arj", method);
    RunResult r = Kxpack({"list", archive});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto lines = kxtest::Words(r.out);
    ASSERT_EQ(lines.size(), order_.size()) << r.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const auto &w = lines[i];
      ASSERT_EQ(w.size(), 6u) << r.out;
      const std::string &data = files_[order_[i]];
      EXPECT_EQ(w[0], std::to_string(i + 1));
      EXPECT_EQ(w[3], std::to_string(data.size()));
      EXPECT_EQ(w[4], Hex8(kxtest::Crc32(data)));
      EXPECT_EQ(w[5], order_[i]);
      if (method == 0) {
        EXPECT_EQ(w[2], w[3]);
      }
    }
    // The text compresses, so it is stored with the method asked for and fewer bytes.
    EXPECT_EQ(lines[0][1], std::to_string(method)) << r.out;
    if (method != 0) {
      EXPECT_LT(std::stoul(lines[0][2]), std::stoul(lines[0][3]));
    }
  }
}

TEST_F(ArchiveTest, ListFindsAnArchiveBehindLeadingBytes) {
  std::string archive = Make("plain.arj", 1);
  std::string prefixed = dir_ + "/prefixed.bin";
  WriteFile(prefixed, std::string(1000, 'z') + "\x60\xEA\xFF\xFF" + ReadFile(archive));
  RunResult r = Kxpack({"list", prefixed});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, Kxpack({"list", archive}).out);
}

TEST_F(ArchiveTest, ListReportsDamageAfterTheLastGoodMember) {
  std::string archive = Make("damaged.arj", 1);
  CorruptHeader(archive, 3);
  RunResult r = Kxpack({"list", archive});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(kxtest::Words(r.out).size(), 2u) << r.out;
  EXPECT_TRUE(Contains(r.err, "damaged after member 2: header CRC error")) << r.err;

  std::string whole = ReadFile(Make("cut.arj", 0));
  auto spans = kxtest::MemberSpans(whole);
  WriteFile(dir_ + "/cut.arj", whole.substr(0, spans[1].data + 10));
  r = Kxpack({"list", dir_ + "/cut.arj"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "member data runs past the end of the file")) << r.err;
}

TEST_F(ArchiveTest, ListRefusesNonArchivesMissingFilesAndBadArguments) {
  WriteFile(dir_ + "/text.txt", kxtest::TextContent(9, 2000));
  RunResult r = Kxpack({"list", dir_ + "/text.txt"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(r.err, "kxpack list: " + dir_ + "/text.txt: not an ARJ archive (111)\n");
  WriteFile(dir_ + "/tiny", "\x60\xEA");
  EXPECT_EQ(Kxpack({"list", dir_ + "/tiny"}).exitCode, 1);
  WriteFile(dir_ + "/marker", std::string("\x60\xEA\0\0\0\0\0\0", 8));
  r = Kxpack({"list", dir_ + "/marker"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "empty archive")) << r.err;
  r = Kxpack({"list", dir_ + "/missing.arj"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kxpack list: cannot open " + dir_ + "/missing.arj\n");
  EXPECT_EQ(Kxpack({"list", dir_}).exitCode, 1);
  kxtest::ExpectUsageError(Kxpack({"list"}), "kxpack list: expects ARCHIVE");
  kxtest::ExpectUsageError(Kxpack({"list", "a", "b"}), "kxpack list: expects ARCHIVE");
}

TEST_F(ArchiveTest, ListStaysInsideHostileHeaders) {
  kxtest::HandMember unterminated = kxtest::Stored("NONUL", {});
  unterminated.terminate_name = false;
  kxtest::HandMember nameOutside = kxtest::Stored("X", {});
  kxtest::HandMember control = kxtest::Stored("A\x1b[2J\x07Z.TXT", kxtest::ToBytes("abc"));
  kxtest::HandMember high = kxtest::Stored("\xC1\xC2.TXT", {});

  WriteFile(dir_ + "/hostile.arj", HandArchive({unterminated, control, high}));
  RunResult r = Kxpack({"list", dir_ + "/hostile.arj"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  auto lines = kxtest::Words(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[0][5], "NONUL");
  EXPECT_EQ(lines[1][5], "A?[2J?Z.TXT") << "control characters reach the terminal";
  EXPECT_EQ(lines[2][5], "AB.TXT") << "bit 7 is cleared for a DOS host";

  // A member whose data would run far past the end of the file stops the walk.
  control.has_packed_size = true;
  control.packed_size = 0xFFFFFFF0u;
  WriteFile(dir_ + "/huge.arj", HandArchive({control}));
  r = Kxpack({"list", dir_ + "/huge.arj"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "runs past the end")) << r.err;

  // A name offset beyond the basic header.
  std::string b = HandArchive({nameOutside});
  auto spans = kxtest::MemberSpans(b);
  kxtest::Bytes basic =
      kxtest::ToBytes(b.substr(spans[0].header + 4, kxtest::GetLe16(b, spans[0].header + 2)));
  basic[0] = 200;
  b = b.substr(0, spans[0].header) + kxtest::ToString(kxtest::FramedHeader(basic)) + "\x60\xEA\0\0";
  WriteFile(dir_ + "/outside.arj", b);
  r = Kxpack({"list", dir_ + "/outside.arj"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "name lies outside")) << r.err;
}

// test

TEST_F(ArchiveTest, TestReportsEveryMemberThroughTheEngine) {
  for (int method : {0, 1, 2, 3, 4}) {
    std::string archive = Make("t" + std::to_string(method) + ".arj", method);
    RunResult r = Kxpack({"test", archive});
    std::string want;
    for (std::size_t i = 0; i < order_.size(); ++i)
      want += std::to_string(i + 1) + " 0 " + order_[i] + "\n";
    EXPECT_EQ(r.out, want) << "method " << method << "\n" << r.err;
    EXPECT_EQ(r.exitCode, 0) << "method " << method;
  }
}

TEST_F(ArchiveTest, TestFlagsACorruptMember) {
  std::string archive = Make("corrupt.arj", 0);
  CorruptData(archive, 2);
  RunResult r = Kxpack({"test", archive});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "1 0 README.TXT\n2 106 DATA.BIN\n3 0 EMPTY.DAT\n4 0 SETUP.INI\n");
  EXPECT_EQ(kxtest::ListFolder(dir_), (std::vector<std::string>{"corrupt.arj", "src"}));
}

TEST_F(ArchiveTest, TestAndVerifyLeaveNoScratchFilesBehind) {
  std::string archive = Make("nested.arj", 1);
  kxtest::Run({"/bin/cp", archive, src_ + "/INNER.ARJ"});
  Add("INNER.ARJ", ReadFile(archive));
  std::string outer = Make("outer.arj", 0);
  CorruptData(outer, 2);  // a failed member leaves a partial scratch file to clean up
  kxtest::WriteFile(dir_ + "/stub.exe", kxtest::MakePe32());
  kxtest::Run({"/bin/cp", Make("image-payload.arj", 1), dir_ + "/payload.arj"});
  ASSERT_EQ(Kxpack({"build", "--stub", dir_ + "/stub.exe", "--payload", dir_ + "/payload.arj",
                    "--output", dir_ + "/image.exe"})
                .exitCode,
            0);
  const std::string tmp = dir_ + "/tmp";
  kxtest::Run({"/bin/mkdir", "-p", tmp});
  RunResult r = kxtest::Run({"/usr/bin/env", "TMPDIR=" + tmp, KXPACK_BIN, "test", outer});
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(kxtest::ListFolder(tmp).empty());
  r = kxtest::Run({"/usr/bin/env", "TMPDIR=" + tmp, KXPACK_BIN, "verify", dir_ + "/image.exe"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "  5 0 INNER.ARJ\n    1 0 README.TXT\n")) << r.out;
  EXPECT_TRUE(kxtest::ListFolder(tmp).empty());
}

TEST_F(ArchiveTest, TestFlagsDamageThatEndsTheEnginesCountEarly) {
  std::string archive = Make("damaged.arj", 1);
  CorruptHeader(archive, 3);
  RunResult r = Kxpack({"test", archive});
  EXPECT_EQ(r.exitCode, 1) << "two good members must not pass for a whole archive";
  EXPECT_TRUE(Contains(r.out, "1 0 README.TXT\n2 0 DATA.BIN\n")) << r.out;
  EXPECT_TRUE(Contains(r.out, "damaged after member 2")) << r.out;
}

TEST_F(ArchiveTest, TestRefusesNonArchivesMissingFilesAndBadArguments) {
  WriteFile(dir_ + "/text.txt", kxtest::TextContent(9, 2000));
  RunResult r = Kxpack({"test", dir_ + "/text.txt"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kxpack test: " + dir_ + "/text.txt: not an ARJ archive (111)\n");
  r = Kxpack({"test", dir_ + "/missing.arj"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kxpack test: cannot open " + dir_ + "/missing.arj\n");
  kxtest::ExpectUsageError(Kxpack({"test"}), "kxpack test: expects ARCHIVE");
  kxtest::ExpectUsageError(Kxpack({"test", "a", "b"}), "kxpack test: expects ARCHIVE");
}

TEST_F(ArchiveTest, TestHoldsMemoryFlatOnALargeArchive) {
  // About 40 MB: large stored members and one large packed one. The engine streams, so the
  // peak must stay far below the archive's size. The files are written in pieces so that
  // this process stays small: a child's peak counts the pages it shares with its parent.
  std::vector<std::string> names;
  for (unsigned i = 0; i < 5; ++i) {
    std::string name = "LARGE" + std::to_string(i) + ".BIN";
    std::FILE *f = std::fopen((src_ + "/" + name).c_str(), "wb");
    ASSERT_TRUE(f);
    for (unsigned piece = 0; piece < 8; ++piece) {
      std::string data = i == 4 ? kxtest::TextContent(i * 100 + piece, 1 << 20)
                                : kxtest::NoiseContent(i * 100 + piece, 1 << 20);
      std::fwrite(data.data(), 1, data.size(), f);
    }
    std::fclose(f);
    names.push_back(name);
  }
  const std::string archive = dir_ + "/large.arj";
  kxtest::MakeArj(src_, archive, names, 1);
  ASSERT_GT(std::filesystem::file_size(archive), 33u << 20);

  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execl(KXPACK_BIN, KXPACK_BIN, "test", archive.c_str(), (char *)nullptr);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ASSERT_EQ(wait4(pid, &status, 0, &usage), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_LT(usage.ru_maxrss, 8 * 1024) << "peak resident set in KiB";
}

// extract

TEST_F(ArchiveTest, ExtractWritesEveryMemberUnderItsBareName) {
  kxtest::Run({"/bin/mkdir", "-p", src_ + "/sub"});
  WriteFile(src_ + "/sub/NESTED.TXT", "from a sub folder\n");
  files_["NESTED.TXT"] = "from a sub folder\n";
  order_.push_back("sub/NESTED.TXT");
  std::string archive = Make("all.arj", 1);
  std::string out = dir_ + "/out";  // made by extract
  RunResult r = Kxpack({"extract", archive, out});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  std::vector<std::string> names;
  for (const auto &f : files_) names.push_back(f.first);
  EXPECT_EQ(kxtest::ListFolder(out), names);
  for (const auto &f : files_) EXPECT_TRUE(ReadFile(out + "/" + f.first) == f.second) << f.first;
  EXPECT_TRUE(Contains(r.out, "5 0 NESTED.TXT\n")) << r.out;
}

TEST_F(ArchiveTest, ExtractNeverLeavesAPartialFileUnderAMembersName) {
  std::string archive = Make("corrupt.arj", 0);
  CorruptData(archive, 2);
  std::string out = dir_ + "/out";
  kxtest::Run({"/bin/mkdir", "-p", out});
  WriteFile(out + "/DATA.BIN", "earlier copy");
  RunResult r = Kxpack({"extract", archive, out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.out, "2 106 DATA.BIN\n")) << r.out;
  EXPECT_EQ(kxtest::ListFolder(out),
            (std::vector<std::string>{"DATA.BIN", "EMPTY.DAT", "README.TXT", "SETUP.INI"}));
  EXPECT_EQ(ReadFile(out + "/DATA.BIN"), "earlier copy");
  EXPECT_TRUE(ReadFile(out + "/SETUP.INI") == files_["SETUP.INI"]);
}

TEST_F(ArchiveTest, ExtractWritesNothingOutsideItsFolder) {
  std::vector<kxtest::HandMember> members;
  for (const char *name :
       {"../ESCAPE.TXT", "SUB/../../ESCAPE2.TXT", "CON", "NUL.TXT", "AUX.", "GOOD.TXT"})
    members.push_back(kxtest::Stored(name, kxtest::ToBytes(std::string("payload of ") + name)));
  members[1].flags = 0x10;
  WriteFile(dir_ + "/hostile.arj", HandArchive(members));
  std::string out = dir_ + "/deep/out";
  kxtest::Run({"/bin/mkdir", "-p", out});
  RunResult r = Kxpack({"extract", dir_ + "/hostile.arj", out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(kxtest::ListFolder(out), std::vector<std::string>{"GOOD.TXT"}) << r.out;
  EXPECT_EQ(kxtest::ListFolder(dir_ + "/deep"), std::vector<std::string>{"out"});
  EXPECT_FALSE(kxtest::Exists(dir_ + "/ESCAPE2.TXT"));
  auto lines = kxtest::Words(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(lines[i][1], "115") << r.out;
  EXPECT_EQ(lines[5][1], "0");
}

TEST_F(ArchiveTest, ExtractRefusesBadInputs) {
  std::string archive = Make("ok.arj", 1);
  WriteFile(dir_ + "/afile", "x");
  RunResult r = Kxpack({"extract", archive, dir_ + "/afile"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kxpack extract: cannot create folder " + dir_ + "/afile\n");
  r = Kxpack({"extract", dir_ + "/afile", dir_ + "/out"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "not an ARJ archive (111)")) << r.err;
  EXPECT_TRUE(kxtest::ListFolder(dir_ + "/out").empty());
  r = Kxpack({"extract", dir_ + "/missing.arj", dir_ + "/out"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kxpack extract: cannot open " + dir_ + "/missing.arj\n");
  // The engine holds output paths of up to 255 characters: a longer folder is refused
  // before anything is made.
  const std::string longDir = dir_ + "/" + std::string(255, 'd');
  r = Kxpack({"extract", archive, longDir});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "folder path too long")) << r.err;
  EXPECT_FALSE(kxtest::Exists(longDir));
  kxtest::ExpectUsageError(Kxpack({"extract", archive, ""}), "kxpack extract: DIR must not be");
  kxtest::ExpectUsageError(Kxpack({"extract", archive}), "kxpack extract: expects ARCHIVE DIR");
  kxtest::ExpectUsageError(Kxpack({"extract"}), "kxpack extract: expects ARCHIVE DIR");
}

// verify

class VerifyTest : public ArchiveTest {
 protected:
  // Packs files (made from name -> content) into dir_/archive with the method given.
  void Pack(const std::string &archive, const std::vector<std::string> &names, int method) {
    std::remove((dir_ + "/" + archive).c_str());  // the archiver adds to an existing one
    kxtest::MakeArj(src_, dir_ + "/" + archive, names, method);
    kxtest::Run({"/bin/cp", dir_ + "/" + archive, src_ + "/" + archive});
  }

  std::string BuildImage(const std::string &payload) {
    WriteFile(dir_ + "/stub.exe", kxtest::MakePe32());
    std::string image = dir_ + "/image.exe";
    RunResult r = Kxpack({"build", "--stub", dir_ + "/stub.exe", "--payload", dir_ + "/" + payload,
                          "--output", image});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return image;
  }

  // Verifying an image built from payload finds a problem, and the listing shows listed.
  void ExpectProblemListed(const std::string &payload, const std::string &listed) {
    RunResult r = Kxpack({"verify", BuildImage(payload)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.out, listed)) << r.out;
  }

  // A set shaped like the delivered one: KXDATA.ARJ holds STAGE.ARJ and BN.ARJ stored and
  // VeloDat.ARJ packed; STAGE.ARJ holds CORE.ARJ.
  std::string MakeSet() {
    Add("STAGE.EXE", kxtest::NoiseContent(30, 3000));
    Add("BNSTUB.DLL", kxtest::NoiseContent(31, 2000));
    Add("VELO.DAT", kxtest::TextContent(32, 5000));
    Pack("CORE.ARJ", {"README.TXT", "DATA.BIN", "EMPTY.DAT", "SETUP.INI"}, 1);
    Pack("STAGE.ARJ", {"STAGE.EXE", "CORE.ARJ"}, 0);
    Pack("BN.ARJ", {"BNSTUB.DLL", "SETUP.INI"}, 1);
    Pack("VeloDat.ARJ", {"VELO.DAT"}, 1);
    Pack("KXDATA.ARJ", {"STAGE.ARJ", "BN.ARJ"}, 0);
    kxtest::MakeArj(src_, dir_ + "/KXDATA.ARJ", {"VeloDat.ARJ"}, 1);
    return BuildImage("KXDATA.ARJ");
  }
};

TEST_F(VerifyTest, ChecksEveryMemberOfTheNestedSet) {
  std::string image = MakeSet();
  RunResult r = Kxpack({"verify", image});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  std::string payloadLine = r.out.substr(0, r.out.find('\n'));
  EXPECT_TRUE(Contains(payloadLine, "bytes at 1024")) << payloadLine;
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1),
            "  1 0 STAGE.ARJ\n"
            "    1 0 STAGE.EXE\n"
            "    2 0 CORE.ARJ\n"
            "      1 0 README.TXT\n"
            "      2 0 DATA.BIN\n"
            "      3 0 EMPTY.DAT\n"
            "      4 0 SETUP.INI\n"
            "  2 0 BN.ARJ\n"
            "    1 0 BNSTUB.DLL\n"
            "    2 0 SETUP.INI\n"
            "  3 0 VeloDat.ARJ\n"
            "    1 0 VELO.DAT\n"
            "verify: ok\n");
}

TEST_F(VerifyTest, FlagsACorruptMemberDeepInside) {
  Pack("CORE.ARJ", {"README.TXT", "DATA.BIN"}, 0);
  CorruptData(src_ + "/CORE.ARJ", 2);
  Pack("STAGE.ARJ", {"CORE.ARJ"}, 1);
  Pack("KXDATA.ARJ", {"STAGE.ARJ"}, 0);
  ExpectProblemListed("KXDATA.ARJ",
                      "  1 0 STAGE.ARJ\n    1 0 CORE.ARJ\n      1 0 README.TXT\n"
                      "      2 106 DATA.BIN\nverify: 1 problem\n");
}

TEST_F(VerifyTest, FlagsANestedArchiveThatIsNone) {
  Add("fake.arj", "an .arj name, but text inside");
  Pack("KXDATA.ARJ", {"fake.arj", "SETUP.INI"}, 1);
  ExpectProblemListed("KXDATA.ARJ",
                      "  1 0 fake.arj\n    archive error 111: not an ARJ archive\n"
                      "  2 0 SETUP.INI\n");
}

TEST_F(VerifyTest, FollowsEightLevelsOfNestingAndNoMore) {
  // L1.ARJ holds L2.ARJ ... and the innermost holds SETUP.INI.
  auto chain = [&](int levels) {
    Pack("L" + std::to_string(levels) + ".ARJ", {"SETUP.INI"}, 1);
    for (int level = levels - 1; level >= 1; --level)
      Pack("L" + std::to_string(level) + ".ARJ", {"L" + std::to_string(level + 1) + ".ARJ"}, 1);
    return Kxpack({"verify", BuildImage("L1.ARJ")});
  };
  RunResult r = chain(8);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(Contains(r.out, "\n" + std::string(16, ' ') + "1 0 SETUP.INI\n")) << r.out;
  r = chain(9);
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(Contains(r.out, std::string(16, ' ') + "1 0 L9.ARJ\n" + std::string(18, ' ') +
                                  "archive nested more than 8 levels deep: not checked\n"))
      << r.out;
  EXPECT_FALSE(Contains(r.out, "SETUP.INI")) << r.out;
}

TEST_F(VerifyTest, RefusesTruncatedImagesAndNonImages) {
  std::string image = MakeSet();
  std::string bytes = ReadFile(image);
  WriteFile(image, bytes.substr(0, bytes.size() - 1));
  RunResult r = Kxpack({"verify", image});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "payload truncated")) << r.err;

  // A stamp that points at bytes that are no archive.
  std::string junk = bytes;
  for (std::size_t i = 1024; i < 1024 + 88; ++i) junk[i] = 'j';
  kxtest::PutLe32(&junk, 0x24, 88);
  WriteFile(image, junk);
  r = Kxpack({"verify", image});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.out, "archive error 111")) << r.out;

  r = Kxpack({"verify", dir_ + "/src/SETUP.INI"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.err, "not a PE image")) << r.err;
  r = Kxpack({"verify", dir_ + "/missing.exe"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kxpack verify: cannot open " + dir_ + "/missing.exe\n");
  kxtest::ExpectUsageError(Kxpack({"verify"}), "kxpack verify: expects IMAGE");
}

}  // namespace
