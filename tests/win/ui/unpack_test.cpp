// The archive unpack driver with a test owner: real engine and archives made by the arj
// archiver, plus a scripted engine for names the real engine never hands out.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "scripted_engine.h"
#include "support/test_paths.h"
#include "ui/unpack_archive.h"
#include "unpack_owner.h"

using kxtest::FileExists;
using kxtest::FreshFolder;
using kxtest::ListFolder;
using kxtest::ReadFileBytes;

namespace {

std::string Archives() { return kxtest::TestDataDir() + "\\ui"; }

class UnpackWithArchives : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FileExists(Archives() + "\\small.arj")) << "archive fixture missing";
    out = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  UnpackResult Unpack(const char *archive) {
    return UnpackArchiveWithProgress(owner, Archives().c_str(), out.c_str(), archive);
  }
  TestUnpackOwner owner;
  std::string out;
};

TEST_F(UnpackWithArchives, UnpacksEveryMemberAndCountsThemOnTheBar) {
  EXPECT_EQ(kUnpackDone, Unpack("small.arj"));
  EXPECT_EQ("M1.TXT M2.TXT M3.TXT", ListFolder(out));  // NEWFILE.TMP renamed away each time
  EXPECT_EQ("member 2\n", ReadFileBytes(out + "M2.TXT"));
  EXPECT_EQ(0, owner.RangeLow());
  EXPECT_EQ(3, owner.RangeHigh());
  EXPECT_EQ(3, owner.Position());
  EXPECT_EQ(3, owner.pumps);  // once before each member
}

TEST_F(UnpackWithArchives, ArchiveFolderWithoutBackslashAndMixedCaseName) {
  EXPECT_EQ(kUnpackDone,
            UnpackArchiveWithProgress(owner, Archives().c_str(), out.c_str(), "Small.ARJ"));
  EXPECT_EQ("M1.TXT M2.TXT M3.TXT", ListFolder(out));
}

TEST_F(UnpackWithArchives, ArchiveWithoutMembersSetsAnEmptyRangeAndPumpsNothing) {
  SendMessageA(owner.ProgressBar(), PBM_SETRANGE, 0, MAKELPARAM(0, 50));
  EXPECT_EQ(kUnpackDone, Unpack("empty.arj"));
  EXPECT_EQ(0, owner.RangeLow());
  EXPECT_EQ(0, owner.RangeHigh());
  EXPECT_EQ(0, owner.pumps);
  EXPECT_EQ("", ListFolder(out));
}

TEST_F(UnpackWithArchives, MissingArchiveCountsAsItsErrorCodeAndIsAbsent) {
  EXPECT_EQ(kUnpackAbsent, Unpack("missing.arj"));
  EXPECT_EQ(0, owner.RangeLow());
  EXPECT_EQ(arj::kCannotOpen, owner.RangeHigh());
  EXPECT_EQ(1, owner.pumps);
  EXPECT_EQ(0, owner.Position());
  EXPECT_EQ(kUnpackAbsent, UnpackArchiveWithProgress(owner, (Archives() + "\\nofolder").c_str(),
                                                     out.c_str(), "small.arj"));
}

TEST_F(UnpackWithArchives, ArchiveThatIsThereButCannotBeReadFails) {
  // Not an archive (the engine's first call: arj::kNotAnArchive), and a folder where the archive
  // should be.
  EXPECT_EQ(kUnpackFailed, Unpack("notarj.bin"));
  ASSERT_TRUE(CreateDirectoryA((out + "FOLDER.ARJ").c_str(), nullptr));
  EXPECT_EQ(kUnpackFailed,
            UnpackArchiveWithProgress(owner, out.c_str(), out.c_str(), "FOLDER.ARJ"));
}

TEST_F(UnpackWithArchives, NegativeCountFailsWithTheBarUntouched) {
  // A first unpack leaves the engine's member counter above 0; a file that is not an archive
  // then counts as -1.
  ASSERT_EQ(kUnpackDone, Unpack("small.arj"));
  SendMessageA(owner.ProgressBar(), PBM_SETRANGE, 0, MAKELPARAM(0, 40));
  SendMessageA(owner.ProgressBar(), PBM_SETPOS, 7, 0);
  int pumpsBefore = owner.pumps;
  EXPECT_EQ(kUnpackFailed, Unpack("notarj.bin"));
  EXPECT_EQ(40, owner.RangeHigh());
  EXPECT_EQ(7, owner.Position());
  EXPECT_EQ(pumpsBefore, owner.pumps);
}

TEST_F(UnpackWithArchives, DamagedMemberHeaderFailsBeforeAnythingIsWritten) {
  // Two good members before the damage must not pass for the whole archive.
  SendMessageA(owner.ProgressBar(), PBM_SETRANGE, 0, MAKELPARAM(0, 40));
  EXPECT_EQ(kUnpackFailed, Unpack("bad_header.arj"));
  EXPECT_EQ(40, owner.RangeHigh());
  EXPECT_EQ(0, owner.pumps);
  EXPECT_EQ("", ListFolder(out));
}

TEST_F(UnpackWithArchives, CancelSeenWhilePumpingFinishesThatMemberFirst) {
  for (int k = 1; k <= 3; ++k) {
    TestUnpackOwner fresh;
    std::string folder = FreshFolder("cancel" + std::to_string(k));
    fresh.onPump = [&](int n) {
      if (n == k) PostMessageA(fresh.window(), TestUnpackOwner::kSetCancelMessage, 0, 0);
    };
    EXPECT_EQ(kUnpackCancelled,
              UnpackArchiveWithProgress(fresh, Archives().c_str(), folder.c_str(), "small.arj"));
    std::string expected;
    for (int i = 1; i <= k; ++i) expected += (i > 1 ? " M" : "M") + std::to_string(i) + ".TXT";
    EXPECT_EQ(expected, ListFolder(folder)) << "cancel before member " << k;
    EXPECT_EQ(k, fresh.Position());
    EXPECT_EQ(k, fresh.pumps);
  }
}

TEST_F(UnpackWithArchives, CancelAlreadySetUnpacksNothing) {
  owner.cancelled = 1;
  SendMessageA(owner.ProgressBar(), PBM_SETRANGE, 0, MAKELPARAM(0, 40));
  EXPECT_EQ(kUnpackCancelled, Unpack("small.arj"));
  EXPECT_EQ(kUnpackCancelled, UnpackArchiveWithProgress(owner, nullptr, nullptr, nullptr));
  EXPECT_EQ(40, owner.RangeHigh());
  EXPECT_EQ(0, owner.pumps);
  EXPECT_EQ("", ListFolder(out));
}

TEST_F(UnpackWithArchives, MissingArgumentsFail) {
  EXPECT_EQ(kUnpackFailed, UnpackArchiveWithProgress(owner, nullptr, out.c_str(), "small.arj"));
  EXPECT_EQ(kUnpackFailed,
            UnpackArchiveWithProgress(owner, Archives().c_str(), nullptr, "small.arj"));
  EXPECT_EQ(kUnpackFailed,
            UnpackArchiveWithProgress(owner, Archives().c_str(), out.c_str(), nullptr));
  // An empty output folder would mean the current directory.
  EXPECT_EQ(kUnpackFailed, UnpackArchiveWithProgress(owner, Archives().c_str(), "", "small.arj"));
  EXPECT_EQ(0, owner.pumps);
}

TEST_F(UnpackWithArchives, MemberThatFailsStopsTheUnpackAndStaysInTheTemporaryFile) {
  // Cancel during the pump before the failing member: the failure wins.
  owner.onPump = [&](int n) {
    if (n == 2) PostMessageA(owner.window(), TestUnpackOwner::kSetCancelMessage, 0, 0);
  };
  EXPECT_EQ(kUnpackFailed, Unpack("bad.arj"));
  EXPECT_EQ("M1.TXT NEWFILE.TMP", ListFolder(out));
  EXPECT_EQ("mEmber 2\n", ReadFileBytes(out + "NEWFILE.TMP"));
  EXPECT_EQ(1, owner.Position());
  EXPECT_EQ(1, owner.cancelled);
}

TEST_F(UnpackWithArchives, ExistingFileOfAMemberNameStaysAsItWas) {
  kxtest::WriteFileBytes(out + "M3.TXT", "old");
  EXPECT_EQ(kUnpackDone, Unpack("small.arj"));
  EXPECT_EQ("old", ReadFileBytes(out + "M3.TXT"));
  EXPECT_EQ("member 3\n", ReadFileBytes(out + "NEWFILE.TMP"));
  EXPECT_EQ(3, owner.Position());
}

TEST_F(UnpackWithArchives, SecondArchiveContinuesFromTheBarPosition) {
  ASSERT_EQ(kUnpackDone, Unpack("small.arj"));
  ASSERT_EQ(3, owner.Position());
  owner.positionsAtPump.clear();
  std::string second = FreshFolder("second");
  EXPECT_EQ(kUnpackDone,
            UnpackArchiveWithProgress(owner, Archives().c_str(), second.c_str(), "five.arj"));
  EXPECT_EQ(5, owner.RangeHigh());
  ASSERT_EQ(5u, owner.positionsAtPump.size());
  EXPECT_EQ(3, owner.positionsAtPump[0]);  // not reset by the new range
  EXPECT_EQ(4, owner.positionsAtPump[1]);
  EXPECT_EQ(5, owner.positionsAtPump[2]);
  EXPECT_EQ("V1.TXT V2.TXT V3.TXT V4.TXT V5.TXT", ListFolder(second));
}

TEST_F(UnpackWithArchives, MemberWithALongNameIsNotMovedUnderACutName) {
  EXPECT_EQ(kUnpackFailed, Unpack("longname.arj"));
  std::string left = ListFolder(out);
  EXPECT_TRUE(left == "" || left == "NEWFILE.TMP") << left;
}

// The scripted engine: names and counts the real engine never hands out.
class UnpackWithScript : public ::testing::Test {
 protected:
  void SetUp() override {
    out = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  UnpackResult Unpack(const std::string &folder) {
    return UnpackArchiveWithProgress(owner, "C:\\archives\\", folder.c_str(), "X.ARJ",
                                     ScriptedEngine(&script));
  }
  TestUnpackOwner owner;
  ScriptedArchive script;
  std::string out;
};

// Also the names Windows would read as another file or a device: nothing is ever created
// under the name Windows would make of them ("X." would become "X").
TEST_F(UnpackWithScript, NamesThatCouldLeaveTheOutputFolderAreRefused) {
  for (const char *name : {"..", ".", "..\\ESCAPE.TXT", "SUB/ESCAPE", "C:ESCAPE", "", "A\\B", "CON",
                           "aux.txt", "LPT1", "NUL.dat", "X.", "X ", "A*B", "A?B", "A|B"}) {
    std::string folder = FreshFolder("unsafe");
    script = ScriptedArchive{2, {{"GOOD.TXT", "good"}, {name, "evil"}}, {}};
    EXPECT_EQ(kUnpackFailed, Unpack(folder)) << name;
    EXPECT_EQ("GOOD.TXT NEWFILE.TMP", ListFolder(folder)) << name;
    EXPECT_EQ("evil", ReadFileBytes(folder + "NEWFILE.TMP")) << name;
  }
  EXPECT_FALSE(FileExists(kxtest::TestDataDir() + "\\ui-scratch\\ESCAPE.TXT"));
  EXPECT_FALSE(FileExists(kxtest::TestDataDir() + "\\ui-scratch\\SUB"));
}

TEST_F(UnpackWithScript, NameThatFillsTheWholeBufferMayBeCutAndIsRefused) {
  script = ScriptedArchive{2, {{"FOURTEEN56.TXT", "fits"}, {"FIFTEEN567890AB.TXT", "cut"}}, {}};
  EXPECT_EQ(kUnpackFailed, Unpack(out));
  EXPECT_EQ("FOURTEEN56.TXT NEWFILE.TMP", ListFolder(out));
  EXPECT_EQ(1, owner.Position());
}

TEST_F(UnpackWithScript, TargetPathThatWouldNotFitIsRefused) {
  // A folder of 248 characters: its NEWFILE.TMP path is exactly 259 characters long.
  std::string folder = out;
  while (folder.size() < 248) {
    size_t room = 248 - folder.size();
    size_t step = room > 60 ? 30 : room;  // a name and its backslash
    folder += std::string(step - 1, 'd') + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  ASSERT_EQ(248u, folder.size());
  ASSERT_TRUE(FileExists(folder));
  script = ScriptedArchive{2, {{"A.TXT", "short"}, {"LONGER12.TXT", "long"}}, {}};
  EXPECT_EQ(kUnpackFailed, Unpack(folder));
  // A.TXT fits in 253 characters; the second name would need 260.
  EXPECT_EQ("A.TXT NEWFILE.TMP", ListFolder(folder));
  EXPECT_EQ("long", ReadFileBytes(folder + "NEWFILE.TMP"));
}

TEST_F(UnpackWithScript, OutputFolderWithoutBackslashStillWritesInsideIt) {
  script = ScriptedArchive{1, {{"A.TXT", "a"}}, {}};
  std::string noSlash = out.substr(0, out.size() - 1);
  EXPECT_EQ(kUnpackDone, Unpack(noSlash));
  EXPECT_EQ("A.TXT", ListFolder(out));
  ASSERT_EQ(1u, script.outputPaths.size());
  EXPECT_EQ(out + "NEWFILE.TMP", script.outputPaths[0]);
}

TEST_F(UnpackWithScript, SixteenBitCountIsTheWholeRangeAndPositionsStartAtOne) {
  // The largest count the engine can answer: the bar's range holds all of it.
  constexpr short kLargestCount = 0x7FFF;
  script = ScriptedArchive{kLargestCount, {{"A.TXT", "a"}, {"B.TXT", "b"}}, {}};
  // The third position does not exist: the engine answers 1, which ends the archive.
  EXPECT_EQ(kUnpackDone, Unpack(out));
  EXPECT_EQ("A.TXT B.TXT", ListFolder(out));
  EXPECT_EQ(0, owner.RangeLow());
  EXPECT_EQ(kLargestCount, owner.RangeHigh());
  EXPECT_EQ(3, owner.pumps);
  EXPECT_EQ(2, owner.Position());
}

TEST_F(UnpackWithScript, EachEngineCodeEndsTheArchiveAsItShould) {
  struct Case {
    short code;
    short expected;
  } cases[] = {{arj::kEmptyArchive, kUnpackDone},  // its first header is its end marker
               {arj::kWriteFailure, kUnpackWriteFailed},
               {arj::kDataCrcError, kUnpackFailed},
               {arj::kBadCodeData, kUnpackFailed},
               {arj::kUnsafeMemberName, kUnpackFailed},
               {arj::kCountFailed, kUnpackFailed},
               {arj::kCannotOpen, kUnpackAbsent}};  // nothing at C:\archives\X.ARJ
  for (const Case &c : cases) {
    std::string folder = FreshFolder("code");
    ScriptedMember failing{"B.TXT", "b", c.code};
    script = ScriptedArchive{3, {{"A.TXT", "a"}, failing, {"C.TXT", "c"}}, {}};
    EXPECT_EQ(c.expected, Unpack(folder)) << c.code;
    EXPECT_EQ(2u, script.outputPaths.size()) << c.code << ": the archive ends at the code";
  }
}

}  // namespace
