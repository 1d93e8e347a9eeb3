// Start-up's building blocks, called in-process: the payload copy, the work folder, free
// space, the command line after the program path, and the guard's security.
#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include <regex>

#include "app/app.h"
#include "app/guard.h"
#include "app/workdir.h"
#include "support/image_builder.h"
#include "support/win_harness.h"

using namespace kxtest;

namespace {

std::string Dir(const std::string &name) { return FreshDir("units_" + name); }

TEST(CopyPayload, CopiesExactlyThePayloadWhateverItsLength) {
  std::string dir = Dir("copy");
  std::string image = PayloadBytes(3 * 4096 + 77, 9);
  ASSERT_TRUE(WriteFileBytes(dir + "\\image.bin", image));
  struct Case {
    int offset, length;
  } cases[] = {{0, 0}, {5, 4096}, {100, 8192}, {1, 3 * 4096 + 76}, {4096, 3 * 4096 + 77 - 4096}};
  for (const Case &c : cases) {
    DeleteFileA((dir + "\\KXDATA.ARJ").c_str());
    ASSERT_EQ(CopyPayload((dir + "\\image.bin").c_str(), (dir + "\\").c_str(), c.offset, c.length),
              PayloadCopy::kDone)
        << c.offset << "+" << c.length;
    std::string copy;
    ASSERT_TRUE(ReadFileBytes(dir + "\\KXDATA.ARJ", &copy));
    EXPECT_EQ(copy, image.substr(c.offset, c.length));
  }
}

TEST(CopyPayload, FailsWhenImageOrTargetCannotBeOpened) {
  std::string dir = Dir("copyfail");
  std::string image = dir + "\\image.bin";
  EXPECT_EQ(CopyPayload((dir + "\\missing.bin").c_str(), (dir + "\\").c_str(), 0, 0),
            PayloadCopy::kFailed);
  ASSERT_TRUE(WriteFileBytes(image, PayloadBytes(100)));
  EXPECT_EQ(CopyPayload(image.c_str(), (dir + "\\nofolder\\").c_str(), 0, 10),
            PayloadCopy::kFailed);
  EXPECT_EQ(CopyPayload(nullptr, (dir + "\\").c_str(), 0, 10), PayloadCopy::kFailed);
  EXPECT_EQ(CopyPayload(image.c_str(), nullptr, 0, 10), PayloadCopy::kFailed);
}

TEST(CopyPayload, ImageShorterThanItsStampIsReportedNotEnded) {
  std::string dir = Dir("copyshort");
  std::string image = dir + "\\image.bin";
  ASSERT_TRUE(WriteFileBytes(image, PayloadBytes(100)));
  EXPECT_EQ(CopyPayload(image.c_str(), (dir + "\\").c_str(), 1, 100), PayloadCopy::kImageTooShort);
  EXPECT_EQ(CopyPayload(image.c_str(), (dir + "\\").c_str(), 0, -1), PayloadCopy::kImageTooShort);
  EXPECT_FALSE(Exists(dir + "\\KXDATA.ARJ"));
}

TEST(CopyPayload, FailedWriteIsNotReportedAsSuccess) {
  // The fixture mounted a 64 KiB volume here; a 200 KB payload cannot fit.
  std::string dir = TestDataDir() + "\\diskfull";
  ULARGE_INTEGER available, total, totalFree;
  if (!GetDiskFreeSpaceExA((dir + "\\").c_str(), &available, &total, &totalFree) ||
      total.QuadPart > (1u << 20)) {
    GTEST_SKIP() << "no small volume could be mounted for this test";
  }
  std::string imageDir = Dir("diskfull_image");
  ASSERT_TRUE(WriteFileBytes(imageDir + "\\image.bin", PayloadBytes(200000)));
  EXPECT_EQ(CopyPayload((imageDir + "\\image.bin").c_str(), (dir + "\\").c_str(), 0, 200000),
            PayloadCopy::kFailed);
  DeleteFileA((dir + "\\KXDATA.ARJ").c_str());
}

TEST(WorkFolder, NameHasTheFixedFormAndIsFree) {
  std::string dir = Dir("names");
  char name[260];
  ASSERT_TRUE(MakeWorkFolderName((dir + "\\").c_str(), name, sizeof name));
  EXPECT_TRUE(std::regex_match(name, std::regex("KX[0-9]{4}\\.ins")));
  EXPECT_FALSE(Exists(dir + "\\" + name));
  // Taken names are skipped even within the same second.
  ASSERT_TRUE(CreateDirectoryA((dir + "\\" + name).c_str(), nullptr));
  char second[260];
  ASSERT_TRUE(MakeWorkFolderName(dir.c_str(), second, sizeof second));
  EXPECT_STRNE(second, name);
  EXPECT_FALSE(MakeWorkFolderName(nullptr, name, sizeof name));
  EXPECT_FALSE(MakeWorkFolderName(dir.c_str(), nullptr, 0));
}

TEST(WorkFolder, ExistingFolderWithFilesOnlyIsRemovedAndMadeAnew) {
  std::string dir = Dir("existing_files") + "\\KX1234.ins";
  CreateDirectoryA(dir.c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(dir + "\\a.txt", "a"));
  ASSERT_TRUE(WriteFileBytes(dir + "\\b.txt", "b"));
  SetFileAttributesA((dir + "\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(PrepareWorkFolder(dir.c_str()));
  EXPECT_TRUE(IsDirectory(dir));
  EXPECT_TRUE(ListDir(dir).empty());
}

TEST(WorkFolder, ExistingFolderWithSubFolderKeepsItAndLosesItsFiles) {
  std::string dir = Dir("existing_sub") + "\\KX1234.ins";
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(dir + "\\sub\\inner.txt", "x"));
  ASSERT_TRUE(WriteFileBytes(dir + "\\top.txt", "y"));
  EXPECT_FALSE(EmptyAndRemoveFolder(dir.c_str()));
  EXPECT_EQ(ListDir(dir), std::vector<std::string>{"sub"});
  EXPECT_EQ(ListDir(dir + "\\sub"), std::vector<std::string>{"inner.txt"});
  EXPECT_TRUE(PrepareWorkFolder(dir.c_str()));
  EXPECT_TRUE(IsDirectory(dir + "\\sub"));
}

TEST(WorkFolder, FileThatCannotBeRemovedIsNoWorkFolder) {
  std::string path = Dir("file_in_way") + "\\KX1234.ins";
  ASSERT_TRUE(WriteFileBytes(path, "not a folder"));
  EXPECT_FALSE(PrepareWorkFolder(path.c_str()));
}

TEST(FreeSpace, ComparesMegabytesOnTheVolumeOfTheTempFolder) {
  std::string dir = Dir("space") + "\\";
  EXPECT_TRUE(HasEnoughFreeSpace(dir.c_str(), 1));
  EXPECT_FALSE(HasEnoughFreeSpace(dir.c_str(), 0));
  EXPECT_FALSE(HasEnoughFreeSpace(dir.c_str(), -1));
  EXPECT_FALSE(HasEnoughFreeSpace(dir.c_str(), 0x7FFFFFFF));
  EXPECT_FALSE(HasEnoughFreeSpace(nullptr, 1));
}

TEST(CommandLine, ProgramPathAndFollowingBlanksAreSkipped) {
  EXPECT_STREQ(SkipProgramPath("setup.exe"), "");
  EXPECT_STREQ(SkipProgramPath("setup.exe   /KXPATH=C:\\P x"), "/KXPATH=C:\\P x");
  EXPECT_STREQ(SkipProgramPath("\"C:\\a b\\setup.exe\" \t /param=1"), "/param=1");
  EXPECT_STREQ(SkipProgramPath("\"C:\\a b\\setup.exe\""), "");
  EXPECT_STREQ(SkipProgramPath("\"unterminated"), "");
}

TEST(Guard, EventGrantsEveryoneFullEventAccess) {
  HANDLE event = nullptr;
  DWORD error = 0;
  ASSERT_TRUE(CreateRunningEvent(&event, &error));
  EXPECT_EQ(error, 0u);
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_EQ(GetSecurityInfo(event, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &dacl, nullptr, &sd),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(dacl, nullptr);
  ASSERT_EQ(dacl->AceCount, 1);
  ACCESS_ALLOWED_ACE *ace = nullptr;
  ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void **>(&ace)));
  EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(ace->Mask, static_cast<DWORD>(EVENT_ALL_ACCESS));
  EXPECT_EQ(ace->Mask, 0x001F0003u);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(
      AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  EXPECT_TRUE(EqualSid(&ace->SidStart, everyone));
  FreeSid(everyone);
  LocalFree(sd);

  // A second create of the same name reports that it already exists.
  HANDLE again = nullptr;
  ASSERT_TRUE(CreateRunningEvent(&again, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(again);
  CloseHandle(event);
}

}  // namespace
