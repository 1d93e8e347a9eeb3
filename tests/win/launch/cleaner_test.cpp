// The cleaner's copy into the parent of the work folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/launch.h"
#include "win/launch/test_folders.h"

namespace {

using namespace testing_folders;

TEST(CopyCleaner, CopiesIntoTheParentReplacingAnExistingCopy) {
  std::string parent = FreshFolder("cleaner\\temp");
  std::string work = FreshFolder("cleaner\\temp\\KX0101.ins");
  WriteText(work + "KXDELTMP.EXE", "new cleaner");

  EXPECT_EQ(kx::CopyCleanerToParent(work.c_str()), 1);
  EXPECT_EQ(ReadText(parent + "KXDELTMP.EXE"), "new cleaner");

  WriteText(parent + "KXDELTMP.EXE", "an older, longer cleaner left from another run");
  WriteText(work + "KXDELTMP.EXE", "newest");
  EXPECT_EQ(kx::CopyCleanerToParent(work.c_str()), 1);
  EXPECT_EQ(ReadText(parent + "KXDELTMP.EXE"), "newest");
  EXPECT_EQ(ReadText(work + "KXDELTMP.EXE"), "newest") << "the source stays";
}

TEST(CopyCleaner, MissingSourceCopiesNothing) {
  std::string parent = FreshFolder("cleaner\\nosource");
  std::string work = FreshFolder("cleaner\\nosource\\KX0102.ins");
  EXPECT_EQ(kx::CopyCleanerToParent(work.c_str()), 0);
  EXPECT_FALSE(Exists(parent + "KXDELTMP.EXE"));
  // A cleaner another run left there stays when this run has none to put in its place.
  WriteText(parent + "KXDELTMP.EXE", "a cleaner from an earlier run");
  EXPECT_EQ(kx::CopyCleanerToParent(work.c_str()), 0);
  EXPECT_EQ(ReadText(parent + "KXDELTMP.EXE"), "a cleaner from an earlier run");
}

TEST(CopyCleaner, PlantedNamesBesideTheTargetAreNeverWrittenThrough) {
  std::string parent = FreshFolder("cleaner\\planted");
  std::string work = FreshFolder("cleaner\\planted\\KX0103.ins");
  WriteText(work + "KXDELTMP.EXE", "new cleaner");
  // Whatever sits at the first fresh names is somebody else's: it is passed over, unchanged.
  const std::string fresh = parent + "KXDELTMP.EXE." + std::to_string(GetCurrentProcessId());
  WriteText(fresh + ".0.tmp", "planted");
  ASSERT_TRUE(CreateDirectoryA((fresh + ".1.tmp").c_str(), nullptr));
  EXPECT_EQ(kx::CopyCleanerToParent(work.c_str()), 1);
  EXPECT_EQ(ReadText(parent + "KXDELTMP.EXE"), "new cleaner");
  EXPECT_EQ(ReadText(fresh + ".0.tmp"), "planted");
  EXPECT_FALSE(Exists(fresh + ".2.tmp")) << "the copy's own name is moved, not left behind";
}

TEST(CopyCleaner, FolderWithoutBackslashBeforeItsLastCharacterCopiesNothing) {
  EXPECT_EQ(kx::CopyCleanerToParent(nullptr), 0);
  EXPECT_EQ(kx::CopyCleanerToParent(""), 0);

  // A relative folder "<name>\" has no parent to copy into: nothing lands in the current
  // folder although the source is there.
  std::string here = FreshFolder("cleaner\\relative");
  std::string work = FreshFolder("cleaner\\relative\\KX0103.ins");
  WriteText(work + "KXDELTMP.EXE", "cleaner");
  char saved[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryA(here.c_str()));
  EXPECT_EQ(kx::CopyCleanerToParent("KX0103.ins\\"), 0);
  EXPECT_EQ(kx::CopyCleanerToParent("\\"), 0);
  SetCurrentDirectoryA(saved);
  EXPECT_FALSE(Exists(here + "KXDELTMP.EXE"));
}

TEST(CopyCleaner, TooLongFolderCopiesNothing) {
  std::string folder = "C:\\" + std::string(250, 'f') + "\\";
  EXPECT_EQ(kx::CopyCleanerToParent(folder.c_str()), 0);
}

}  // namespace
