// Start-up's building blocks, called in-process: the payload copy and the held image, the
// work folder and its security, the temporary folder, free space, the command line after the
// program path, and the guard's security.
#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <regex>
#include <set>

#include "app/app.h"
#include "app/guard.h"
#include "app/image_file.h"
#include "app/payload_copy.h"
#include "app/temp_folder.h"
#include "app/work_folder.h"
#include "app/work_folder_security.h"
#include "support/image_builder.h"
#include "support/win_harness.h"

using namespace kxtest;

namespace {

std::string Dir(const std::string &name) { return FreshDir("units_" + name); }

std::wstring Wide(const std::string &text) {
  std::wstring out(text.size() + 1, L'\0');
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], static_cast<int>(out.size()));
  out.resize(n > 0 ? n - 1 : 0);
  return out;
}

std::string Utf8(const std::wstring &text) {
  std::string out(text.size() * 4 + 1, '\0');
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], static_cast<int>(out.size()),
                              nullptr, nullptr);
  out.resize(n > 0 ? n - 1 : 0);
  return out;
}

PayloadCopyOutcome CopyFrom(const std::string &imagePath, const std::string &workDir, int offset,
                            int length) {
  ImageFile image;
  if (!image.Open(Wide(imagePath).c_str())) return PayloadCopyOutcome::kFailed;
  return CopyPayload(image, workDir.c_str(), offset, length);
}

TEST(CopyPayload, CopiesExactlyThePayloadWhateverItsLength) {
  std::string dir = Dir("copy");
  std::string image = PayloadBytes(3 * 4096 + 77, 9);
  ASSERT_TRUE(WriteFileBytes(dir + "\\image.bin", image));
  struct Case {
    int offset, length;
  } cases[] = {{0, 0}, {5, 4096}, {100, 8192}, {1, 3 * 4096 + 76}, {4096, 3 * 4096 + 77 - 4096}};
  for (const Case &c : cases) {
    DeleteFileA((dir + "\\KXDATA.ARJ").c_str());
    ASSERT_EQ(CopyFrom(dir + "\\image.bin", dir + "\\", c.offset, c.length),
              PayloadCopyOutcome::kCopied)
        << c.offset << "+" << c.length;
    std::string copy;
    ASSERT_TRUE(ReadFileBytes(dir + "\\KXDATA.ARJ", &copy));
    EXPECT_EQ(copy, image.substr(c.offset, c.length));
  }
}

TEST(CopyPayload, PayloadBeyondTheImageIsCorruptAMissingTargetFails) {
  std::string dir = Dir("copyfail");
  ASSERT_TRUE(WriteFileBytes(dir + "\\image.bin", PayloadBytes(100)));
  std::string image = dir + "\\image.bin", work = dir + "\\";
  EXPECT_EQ(CopyFrom(image, work, 0, 100), PayloadCopyOutcome::kCopied);
  EXPECT_EQ(CopyFrom(image, work, 1, 100), PayloadCopyOutcome::kImageCorrupt);
  EXPECT_EQ(CopyFrom(image, work, -1, 10), PayloadCopyOutcome::kImageCorrupt);
  EXPECT_EQ(CopyFrom(image, work, 0, -10), PayloadCopyOutcome::kImageCorrupt);
  EXPECT_EQ(CopyFrom(image, dir + "\\nofolder\\", 0, 10), PayloadCopyOutcome::kFailed);
  ImageFile opened;
  ASSERT_TRUE(opened.Open(Wide(image).c_str()));
  EXPECT_EQ(CopyPayload(opened, nullptr, 0, 10), PayloadCopyOutcome::kFailed);
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
  EXPECT_EQ(CopyFrom(imageDir + "\\image.bin", dir + "\\", 0, 200000), PayloadCopyOutcome::kFailed);
  DeleteFileA((dir + "\\KXDATA.ARJ").c_str());
}

// The held image: neither renamed, replaced nor written while the handle is open, and read
// through it only.
TEST(RunningImage, HeldImageCanBeNeitherRenamedNorReplaced) {
  std::string dir = Dir("held");
  std::string path = dir + "\\setup.exe";
  std::string bytes = PayloadBytes(5000, 4);
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  {
    ImageFile image;
    ASSERT_TRUE(image.Open(Wide(path).c_str()));
    EXPECT_FALSE(MoveFileA(path.c_str(), (dir + "\\moved.exe").c_str()));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    ASSERT_TRUE(WriteFileBytes(dir + "\\other.exe", "other"));
    EXPECT_FALSE(
        MoveFileExA((dir + "\\other.exe").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    // Other readers are welcome.
    std::string again;
    EXPECT_TRUE(ReadFileBytes(path, &again));
    EXPECT_EQ(image.Length(), 5000);
    char tail[10];
    EXPECT_EQ(image.ReadAt(4995, tail, sizeof tail), 5u);
    EXPECT_EQ(std::string(tail, 5), bytes.substr(4995));
    EXPECT_EQ(image.ReadAt(6000, tail, sizeof tail), 0u);
  }
  EXPECT_TRUE(MoveFileA(path.c_str(), (dir + "\\moved.exe").c_str()));
}

// The test's stand-in for the system's mapped-file query: the name the test chose.
std::wstring g_mappedName;
bool ChosenMappedName(HMODULE, wchar_t *name, DWORD cap) {
  if (g_mappedName.size() >= cap) return false;
  lstrcpyW(name, g_mappedName.c_str());
  return true;
}
bool NoMappedName(HMODULE, wchar_t *, DWORD) { return false; }

std::wstring FinalNtName(const std::string &path) {
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  wchar_t name[1024] = {};
  GetFinalPathNameByHandleW(h, name, 1024, VOLUME_NAME_NT);
  CloseHandle(h);
  return name;
}

TEST(RunningImage, IsTheFileMappedForTheModule) {
  ImageFile image;
  ASSERT_EQ(OpenRunningImage(&image), ImageOpenOutcome::kOpened);
  // The system's own answer; this Wine gives it in the drive form "\??\Z:\...".
  EXPECT_EQ(CheckMappedImage(image, GetModuleHandleW(nullptr)), MappedImageCheck::kSame);
}

TEST(RunningImage, AnotherFileThanTheMappedOneIsTold) {
  // Wine keeps the original name of a renamed mapped file, so the rename is played through
  // the query: the module's file renamed away, and another file opened at its old path.
  std::string dir = Dir("mapped");
  ASSERT_TRUE(WriteFileBytes(dir + "\\setup.exe", "the file at the path"));
  ASSERT_TRUE(WriteFileBytes(dir + "\\renamed.exe", "the file that runs"));
  ImageFile image;
  ASSERT_TRUE(image.Open(Wide(dir + "\\setup.exe").c_str()));
  HMODULE self = GetModuleHandleW(nullptr);

  g_mappedName = FinalNtName(dir + "\\renamed.exe");
  ASSERT_FALSE(g_mappedName.empty());
  EXPECT_EQ(CheckMappedImage(image, self, ChosenMappedName), MappedImageCheck::kDifferent);
  g_mappedName = FinalNtName(dir + "\\setup.exe");
  EXPECT_EQ(CheckMappedImage(image, self, ChosenMappedName), MappedImageCheck::kSame);
  // Letter case does not make another file; the drive form names the same one.
  CharUpperW(&g_mappedName[0]);
  EXPECT_EQ(CheckMappedImage(image, self, ChosenMappedName), MappedImageCheck::kSame);
  g_mappedName = L"\\??\\" + Wide(dir) + L"\\setup.exe";
  EXPECT_EQ(CheckMappedImage(image, self, ChosenMappedName), MappedImageCheck::kSame);
  g_mappedName = L"\\??\\" + Wide(dir) + L"\\renamed.exe";
  EXPECT_EQ(CheckMappedImage(image, self, ChosenMappedName), MappedImageCheck::kDifferent);
  // Where the system cannot say, nothing is told.
  EXPECT_EQ(CheckMappedImage(image, self, NoMappedName), MappedImageCheck::kCannotTell);
  ImageFile notOpen;
  EXPECT_EQ(CheckMappedImage(notOpen, self), MappedImageCheck::kCannotTell);
}

TEST(WorkFolder, NamesHaveTheFixedFormAndEveryNameIsTried) {
  WorkFolderNames names;
  std::set<std::string> seen;
  char name[16];
  int count = 0;
  while (names.Next(name, sizeof name)) {
    ++count;
    ASSERT_TRUE(std::regex_match(name, std::regex("KX[0-9]{4}\\.ins"))) << name;
    seen.insert(name);
  }
  EXPECT_EQ(count, kWorkFolderNameDraws + 10000);
  EXPECT_EQ(seen.size(), 10000u);
  WorkFolderNames small;
  EXPECT_FALSE(small.Next(name, 10));  // no room for the terminator
}

TEST(WorkFolder, IsMadeNewUnderTheTempPathWithOrWithoutItsBackslash) {
  std::string dir = Dir("made");
  for (const std::string &temp : {dir, dir + "\\"}) {
    char workDir[260] = {};
    ASSERT_EQ(CreateWorkFolder(temp.c_str(), nullptr, workDir, sizeof workDir),
              WorkFolderOutcome::kCreated);
    std::smatch parts;
    std::string made = workDir;
    ASSERT_TRUE(std::regex_match(made, parts, std::regex("(.*)\\\\(KX[0-9]{4}\\.ins)\\\\")))
        << made;
    EXPECT_EQ(parts[1].str(), dir);
    EXPECT_TRUE(IsDirectory(made));
  }
  EXPECT_EQ(FolderNames(dir).size(), 2u);
  char workDir[260];
  EXPECT_EQ(CreateWorkFolder((dir + "\\missing").c_str(), nullptr, workDir, sizeof workDir),
            WorkFolderOutcome::kCannotCreate);
  // An empty temporary path names no folder: nothing is made in the current drive's root.
  EXPECT_EQ(CreateWorkFolder("", nullptr, workDir, sizeof workDir),
            WorkFolderOutcome::kCannotCreate);
  std::string longTemp = dir + "\\" + std::string(249 - dir.size(), 'x');
  EXPECT_EQ(CreateWorkFolder(longTemp.c_str(), nullptr, workDir, sizeof workDir),
            WorkFolderOutcome::kNoFreeName);
}

// Calls made to the directory creation by the doubles below: whether each had a descriptor.
std::vector<bool> g_withDescriptor;
DWORD g_refusal = 0;
BOOL WINAPI RefusingDescriptor(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  g_withDescriptor.push_back(security != nullptr);
  if (security) {
    SetLastError(g_refusal);
    return FALSE;
  }
  return CreateDirectoryA(path, nullptr);
}

TEST(WorkFolder, OnlyARefusedOwnerGoesOnWithDefaultSecurity) {
  std::string dir = Dir("owner");
  WorkFolderSecurity security;
  ASSERT_NE(security.Attributes(), nullptr);
  char workDir[260] = {};
  g_withDescriptor.clear();
  g_refusal = ERROR_INVALID_OWNER;  // what a run without elevation meets
  EXPECT_EQ(CreateWorkFolder(dir.c_str(), security.Attributes(), workDir, sizeof workDir,
                             RefusingDescriptor),
            WorkFolderOutcome::kCreated);
  EXPECT_EQ(g_withDescriptor, (std::vector<bool>{true, false}));
  EXPECT_TRUE(IsDirectory(workDir));

  for (DWORD other : {DWORD(ERROR_ACCESS_DENIED), DWORD(ERROR_INVALID_PARAMETER),
                      DWORD(ERROR_PRIVILEGE_NOT_HELD)}) {
    g_withDescriptor.clear();
    g_refusal = other;
    EXPECT_EQ(CreateWorkFolder(dir.c_str(), security.Attributes(), workDir, sizeof workDir,
                               RefusingDescriptor),
              WorkFolderOutcome::kCannotCreate)
        << other;
    EXPECT_EQ(g_withDescriptor, std::vector<bool>{true}) << other;
  }
  EXPECT_EQ(FolderNames(dir).size(), 1u);
}

std::string SidText(PSID sid) {
  char *text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "";
  std::string out = text;
  LocalFree(text);
  return out;
}

std::string UserSid() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  BYTE info[256];
  DWORD used;
  std::string sid;
  if (GetTokenInformation(token, TokenUser, info, sizeof info, &used))
    sid = SidText(reinterpret_cast<TOKEN_USER *>(info)->User.Sid);
  CloseHandle(token);
  return sid;
}

TEST(WorkFolderSecurity, ProtectedOwnedByAdministratorsTheUserMayOnlyReadRunAndDelete) {
  WorkFolderSecurity security;
  ASSERT_NE(security.Attributes(), nullptr);
  PSECURITY_DESCRIPTOR sd = security.Attributes()->lpSecurityDescriptor;
  char *text = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(
      sd, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
  std::string sddl = text;
  LocalFree(text);
  std::string user = UserSid();
  ASSERT_FALSE(user.empty());
  EXPECT_EQ(sddl, "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1300a9;;;" + user + ")");

  // The same, entry by entry: the user's rights hold nothing that adds or changes a file.
  SECURITY_DESCRIPTOR_CONTROL control;
  DWORD revision;
  ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  BOOL present, defaulted;
  PACL dacl;
  ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);
  ASSERT_EQ(dacl->AceCount, 3);
  const char *sids[] = {"S-1-5-18", "S-1-5-32-544", nullptr};
  for (int i = 0; i < 3; ++i) {
    ACCESS_ALLOWED_ACE *ace;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void **>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(SidText(&ace->SidStart), sids[i] ? sids[i] : user);
    if (sids[i]) {
      EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    } else {
      EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | DELETE));
      const DWORD changes = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                            FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER |
                            GENERIC_WRITE | GENERIC_ALL;
      EXPECT_EQ(ace->Mask & changes, 0u);
    }
  }
}

// Wine keeps no descriptor on a file: it maps one onto the Unix mode bits and reads those
// back. That much shows the creation used the descriptor: a folder made with it grants
// Everyone nothing, where a folder made with default security grants Everyone read.
bool GrantsEveryone(const std::string &path) {
  DWORD need = 0;
  GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &need);
  std::vector<BYTE> buffer(need);
  if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, buffer.data(), need, &need))
    return true;
  BOOL present, defaulted;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(buffer.data(), &present, &dacl, &defaulted) || !dacl) return true;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE *ace;
    if (GetAce(dacl, i, reinterpret_cast<void **>(&ace)) && SidText(&ace->SidStart) == "S-1-1-0")
      return true;
  }
  return false;
}

TEST(WorkFolderSecurity, TheFolderIsCreatedWithIt) {
  std::string dir = Dir("secured");
  WorkFolderSecurity security;
  char workDir[260] = {};
  ASSERT_EQ(CreateWorkFolder(dir.c_str(), security.Attributes(), workDir, sizeof workDir),
            WorkFolderOutcome::kCreated);
  EXPECT_FALSE(GrantsEveryone(workDir));
  ASSERT_TRUE(CreateDirectoryA((dir + "\\plain").c_str(), nullptr));
  EXPECT_TRUE(GrantsEveryone(dir + "\\plain"));
}

// The test process's own temporary folder, set for one test and put back after it.
class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    GetEnvironmentVariableW(L"TMP", savedTmp_, MAX_PATH);
    GetEnvironmentVariableW(L"TEMP", savedTemp_, MAX_PATH);
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TMP", savedTmp_);
    SetEnvironmentVariableW(L"TEMP", savedTemp_);
  }
  static void Use(const std::wstring &folder) {
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
  }
  wchar_t savedTmp_[MAX_PATH] = {}, savedTemp_[MAX_PATH] = {};
};

// "Привет" (Cyrillic), outside code page 1252.
const std::wstring kCyrillic = L"\x041f\x0440\x0438\x0432\x0435\x0442";

DWORD WINAPI LongFormOnly(LPCWSTR path, LPWSTR out, DWORD cap) {
  // What Windows gives where 8.3 names are not made: the path unchanged.
  if (static_cast<DWORD>(lstrlenW(path)) >= cap) return 0;
  lstrcpyW(out, path);
  return lstrlenW(out);
}
DWORD WINAPI NoShortPath(LPCWSTR, LPWSTR, DWORD) { return 0; }

TEST_F(TempFolder, AnsiSpeltFolderIsTakenAsItIs) {
  std::string dir = Dir("temp_ansi");
  Use(Wide(dir));
  char temp[260];
  ASSERT_TRUE(GetTempFolder(temp, sizeof temp));
  EXPECT_EQ(std::string(temp), dir + "\\");
  // Its short form is not asked for.
  ASSERT_TRUE(GetTempFolder(temp, sizeof temp, NoShortPath));
  EXPECT_EQ(std::string(temp), dir + "\\");
}

TEST_F(TempFolder, FolderOutsideTheCodePageIsReachedByItsShortPath) {
  std::string dir = Dir("temp_cyrillic");
  std::wstring folder = Wide(dir) + L"\\" + kCyrillic;
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  Use(folder);
  char ansi[260];
  GetTempPathA(sizeof ansi, ansi);
  ASSERT_NE(std::string(ansi), dir + "\\" + Utf8(kCyrillic) + "\\");  // '?'-filled here

  char temp[260];
  ASSERT_TRUE(GetTempFolder(temp, sizeof temp));
  std::string shortPath = temp;
  EXPECT_EQ(shortPath.back(), '\\');
  EXPECT_EQ(shortPath.find('?'), std::string::npos);
  // It names that very folder.
  ASSERT_TRUE(WriteFileBytes(shortPath + "probe.txt", "x"));
  EXPECT_TRUE(DeleteFileW((folder + L"\\probe.txt").c_str()));

  // Without a short name to fall back on, there is no temporary folder.
  EXPECT_FALSE(GetTempFolder(temp, sizeof temp, LongFormOnly));
  EXPECT_FALSE(GetTempFolder(temp, sizeof temp, NoShortPath));
}

TEST(ExactAnsi, OnlyTextTheCodePageSpellsAsItIs) {
  char out[260];
  EXPECT_TRUE(WideToExactAnsi(L"C:\\Temp\\x", out, sizeof out));
  EXPECT_STREQ(out, "C:\\Temp\\x");
  // Best-fit would make "..\\" of the fullwidth forms, and "?" of the Cyrillic letters.
  EXPECT_FALSE(WideToExactAnsi(L"C:\\\xff0e\xff0e\xff3c", out, sizeof out));
  EXPECT_FALSE(WideToExactAnsi((L"C:\\" + kCyrillic).c_str(), out, sizeof out));
  EXPECT_FALSE(
      WideToExactAnsi(L"C:\\a\x2215"
                      L"b",
                      out, sizeof out));
  EXPECT_FALSE(WideToExactAnsi(L"C:\\Temp\\x", out, 5));  // does not fit
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
