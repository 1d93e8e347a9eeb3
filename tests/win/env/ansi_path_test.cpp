// Paths of a name in a folder, read a character at a time in the ANSI code page of the run:
// code page 932 in the main run of this program, a single-byte one in its second run.
#include "base/ansi_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// What a join gives: its outcome, and the path (which must be empty unless joined).
struct Join {
  JoinOutcome outcome;
  std::string path;
};

template <std::size_t N = 260>
Join JoinOf(const char *folder, const char *name) {
  char out[N];
  std::memset(out, 'x', sizeof out);  // a failed join must not leave anything readable
  JoinOutcome outcome = JoinUnder(out, folder, name);
  return {outcome, out};
}

Join ParentOf(const char *path) {
  char out[260];
  std::memset(out, 'x', sizeof out);
  JoinOutcome outcome = ParentFolder(out, path);
  return {outcome, out};
}

void ExpectJoined(const Join &join, const std::string &path) {
  EXPECT_EQ(join.outcome, JoinOutcome::kJoined) << path;
  EXPECT_EQ(join.path, path);
}

void ExpectRefused(const Join &join, JoinOutcome outcome) {
  EXPECT_EQ(join.outcome, outcome);
  EXPECT_EQ(join.path, "");
}

TEST(AnsiPath, JoinUnderPutsOneBackslashBetweenFolderAndName) {
  ExpectJoined(JoinOf("C:\\Temp", "KXDATA.ARJ"), "C:\\Temp\\KXDATA.ARJ");
  ExpectJoined(JoinOf("C:\\Temp\\", "KXDATA.ARJ"), "C:\\Temp\\KXDATA.ARJ");
  ExpectJoined(JoinOf("C:\\Temp", ""), "C:\\Temp\\");
  ExpectJoined(JoinOf("C:\\Temp\\", ""), "C:\\Temp\\");
  ExpectJoined(JoinOf("C:\\", "VeloDat\\"), "C:\\VeloDat\\");
}

// An empty folder would name the current folder, and with its backslash the drive's root.
TEST(AnsiPath, JoinUnderRefusesAMissingFolderOrName) {
  ExpectRefused(JoinOf("", "KXDATA.ARJ"), JoinOutcome::kMissingPart);
  ExpectRefused(JoinOf("", ""), JoinOutcome::kMissingPart);
  ExpectRefused(JoinOf(nullptr, "KXDATA.ARJ"), JoinOutcome::kMissingPart);
  ExpectRefused(JoinOf("C:\\Temp", nullptr), JoinOutcome::kMissingPart);
  EXPECT_EQ(JoinUnder(nullptr, 260, "C:\\Temp", "a"), JoinOutcome::kTooLong);
  char one[1] = {'x'};
  EXPECT_EQ(JoinUnder(one, 0, "C:\\Temp", "a"), JoinOutcome::kTooLong);
  EXPECT_EQ(one[0], 'x') << "no room, nothing written";
}

// A path that does not fit is refused whole: a cut path would name another file.
TEST(AnsiPath, JoinUnderRefusesWhatDoesNotFitRatherThanCutIt) {
  ExpectJoined(JoinOf<8>("C:\\a", "bc"), "C:\\a\\bc");  // 7 characters and the terminator
  ExpectRefused(JoinOf<8>("C:\\a", "bcd"), JoinOutcome::kTooLong);
  ExpectRefused(JoinOf<8>("C:\\abcdef", ""), JoinOutcome::kTooLong);  // the backslash too
  const std::string folder = "C:\\" + std::string(250, 'f');
  ExpectJoined(JoinOf(folder.c_str(), "12345"), folder + "\\12345");  // 259 characters
  ExpectRefused(JoinOf(folder.c_str(), "123456"), JoinOutcome::kTooLong);
}

TEST(AnsiPath, ParentFolderEndsAtTheBackslashBeforeTheLastName) {
  ExpectJoined(ParentOf("C:\\Temp\\KX0101.ins\\"), "C:\\Temp\\");
  ExpectJoined(ParentOf("C:\\Temp\\KX0101.ins"), "C:\\Temp\\");
  ExpectJoined(ParentOf("C:\\KX0101.ins\\"), "C:\\");
  ExpectRefused(ParentOf("KX0101.ins\\"), JoinOutcome::kMissingPart);
  ExpectRefused(ParentOf("\\"), JoinOutcome::kMissingPart);
  ExpectRefused(ParentOf(""), JoinOutcome::kMissingPart);
  ExpectRefused(ParentOf(nullptr), JoinOutcome::kMissingPart);
}

// In code page 932, 0x95 0x5C is one character whose trail byte has the backslash's code: a
// folder ending in it still needs its backslash, and it ends no name. In a single-byte code
// page the same bytes are a character and a backslash. Both runs of the program must come.
TEST(AnsiPath, ATrailByteWithTheBackslashCodeIsNoBackslash) {
  const bool doubleByte = IsDBCSLeadByte(0x95) != FALSE;
  if (std::getenv("KX_EXPECT_DBCS")) {
    ASSERT_TRUE(doubleByte) << "code page " << GetACP();
  }
  if (std::getenv("KX_EXPECT_BEST_FIT")) {
    ASSERT_FALSE(doubleByte) << "code page " << GetACP();
  }

  EXPECT_EQ(EndsWithBackslash("C:\\\x95\x5C"), !doubleByte);
  ExpectJoined(JoinOf("C:\\\x95\x5C", "f"), doubleByte ? "C:\\\x95\x5C\\f"
                                                       : "C:\\\x95\x5C"
                                                         "f");
  ExpectJoined(ParentOf("C:\\t\\\x95\x5C"
                        "b\\"),
               doubleByte ? "C:\\t\\" : "C:\\t\\\x95\\");
}

}  // namespace
