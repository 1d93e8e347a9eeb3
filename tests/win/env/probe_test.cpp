// The installed-product probe against the real registry (both views) and file system of the
// test prefix. Every test that touches the probe's App Paths keys lives in this one program so
// that they never race each other; each test removes those keys before and after it runs.
#include "env/probe.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "support/installer_view.h"
#include "win/env/scratch.h"

using kxtest::MakeFile;
using kxtest::MakeFolder;

namespace {

const char kLegacyKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KX32.EXE";
const char kEngineKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ENGINE.EXE";
const char *const kProbeFiles[] = {"engapi.dll",  "engine.exe", "remover.exe",
                                   "remover.dll", "engver.cnf", "config\\engdef.dat"};

// Wine (like some Windows versions) makes the 32-bit view's App Paths a registry link to the
// 64-bit one, so a key made in one view shows in both. To test each view on its own, the link
// is replaced by a key of its own for the run of this program, and put back at the end.
const char kAppPaths32[] = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const wchar_t kAppPathsTarget[] =
    L"\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

bool AppPathsViewsShared() {
  HKEY link = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPaths32, REG_OPTION_OPEN_LINK,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &link) != ERROR_SUCCESS)
    return false;
  DWORD type = 0;
  bool isLink = RegQueryValueExA(link, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
                    ERROR_SUCCESS &&
                type == REG_LINK;
  RegCloseKey(link);
  return isLink;
}

bool SeparateAppPathsViews() {
  using NtDeleteKeyFn = LONG(WINAPI *)(HANDLE);
  auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
      reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
  HKEY link = nullptr;
  if (!ntDeleteKey || RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPaths32, REG_OPTION_OPEN_LINK,
                                    DELETE | KEY_WOW64_64KEY, &link) != ERROR_SUCCESS)
    return false;
  LONG status = ntDeleteKey(link);
  RegCloseKey(link);
  HKEY own = nullptr;
  if (status != 0 ||
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPaths32, 0, nullptr, 0,
                      KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &own, nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(own);
  return true;
}

bool ShareAppPathsViews() {
  if (RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kAppPaths32, KEY_WOW64_64KEY, 0) != ERROR_SUCCESS)
    return false;
  HKEY link = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPaths32, 0, nullptr, REG_OPTION_CREATE_LINK,
                      KEY_ALL_ACCESS | KEY_CREATE_LINK | KEY_WOW64_64KEY, nullptr, &link,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                               reinterpret_cast<const BYTE *>(kAppPathsTarget),
                               sizeof kAppPathsTarget - sizeof(wchar_t));
  RegCloseKey(link);
  return status == ERROR_SUCCESS;
}

bool g_sharedAtStart = false;

class AppPathsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    g_sharedAtStart = AppPathsViewsShared();
    if (g_sharedAtStart) {
      ASSERT_TRUE(SeparateAppPathsViews());
    }
  }
  void TearDown() override {
    if (g_sharedAtStart && !AppPathsViewsShared()) {
      EXPECT_TRUE(ShareAppPathsViews());
    }
  }
};
const auto *const g_environment = ::testing::AddGlobalTestEnvironment(new AppPathsEnvironment);

// The installer's own view, or the 64-bit one.
REGSAM ViewFlag(bool view64) { return view64 ? KEY_WOW64_64KEY : kxtest::kInstallerView; }

void DeleteMachineKey(const char *path, bool view64) {
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, ViewFlag(view64), 0);
}

// Creates a machine key in one view: the installer's or the 64-bit one.
void CreateMachineKey(const char *path, bool view64) {
  HKEY key = nullptr;
  REGSAM access = KEY_ALL_ACCESS | ViewFlag(view64);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, access, nullptr,
                                           &key, nullptr));
  RegCloseKey(key);
}

void SetEnginePath(bool view64, DWORD type, const void *data, DWORD size) {
  CreateMachineKey(kEngineKey, view64);
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEngineKey, 0,
                                         KEY_SET_VALUE | ViewFlag(view64), &key));
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "Path", 0, type, static_cast<const BYTE *>(data), size));
  RegCloseKey(key);
}

void SetEnginePathText(bool view64, const std::string &text, DWORD type = REG_SZ) {
  SetEnginePath(view64, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::string ReadPath(bool view64) {
  char out[260];
  memset(out, '#', sizeof out);
  if (!ReadEnginePath(view64, out)) return "<unreadable>";
  return out;
}

class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveProbeKeys();
    folder_ = kxtest::UniqueTempPath("engine");
    MakeFolder(folder_);
  }
  void TearDown() override {
    RemoveProbeKeys();
    kxtest::RemoveTree(folder_);
  }
  static void RemoveProbeKeys() {
    for (bool view64 : {false, true}) {
      DeleteMachineKey(kLegacyKey, view64);
      DeleteMachineKey(kEngineKey, view64);
    }
  }
  // The six probe files in the engine folder, all but the one named.
  void MakeProbeFiles(const std::string &folder, const char *skip = nullptr) {
    MakeFolder(folder + "\\config");
    for (const char *file : kProbeFiles)
      if (!skip || strcmp(skip, file) != 0) MakeFile(folder + "\\" + file);
  }
  std::string folder_;
};

TEST_F(ProbeTest, NothingRegisteredIsNotInstalled) {
  MakeProbeFiles(folder_);
  EXPECT_FALSE(IsLegacyProductRegistered());
  EXPECT_FALSE(IsEngineInstalled());
  EXPECT_FALSE(IsProductInstalled());
}

TEST_F(ProbeTest, EmptyLegacyKeyInEitherViewMeansInstalled) {
  for (bool view64 : {false, true}) {
    SCOPED_TRACE(view64 ? "64-bit view" : "the installer's view");
    CreateMachineKey(kLegacyKey, view64);
    EXPECT_EQ(!view64, KeyPathExists(HKEY_LOCAL_MACHINE, kLegacyKey));
    EXPECT_EQ(view64, KeyPathExists64(HKEY_LOCAL_MACHINE, kLegacyKey));
    EXPECT_TRUE(IsLegacyProductRegistered());
    EXPECT_FALSE(IsEngineInstalled());
    EXPECT_TRUE(IsProductInstalled());
    DeleteMachineKey(kLegacyKey, view64);
    EXPECT_FALSE(IsProductInstalled());
  }
}

TEST_F(ProbeTest, EngineWithAllSixFilesIsInstalled) {
  MakeProbeFiles(folder_);
  SetEnginePathText(false, folder_);
  EXPECT_EQ(folder_ + "\\", ReadPath(false));
  EXPECT_EQ("<unreadable>", ReadPath(true));
  EXPECT_TRUE(IsEngineInstalled());
  EXPECT_TRUE(IsProductInstalled());
}

TEST_F(ProbeTest, EngineKeyOnlyInThe64BitViewIsReadThere) {
  MakeProbeFiles(folder_);
  SetEnginePathText(true, folder_ + "\\");
  EXPECT_FALSE(KeyPathExists(HKEY_LOCAL_MACHINE, kEngineKey));
  EXPECT_TRUE(KeyPathExists64(HKEY_LOCAL_MACHINE, kEngineKey));
  EXPECT_EQ(folder_ + "\\", ReadPath(true));
  EXPECT_TRUE(IsEngineInstalled());
  EXPECT_TRUE(IsProductInstalled());
}

TEST_F(ProbeTest, UnreadablePathOfThe32BitViewFallsBackToThe64BitView) {
  MakeProbeFiles(folder_);
  CreateMachineKey(kEngineKey, false);  // no "Path" at all
  SetEnginePathText(true, folder_);
  EXPECT_TRUE(IsEngineInstalled());

  // Too long counts as unreadable in the same way.
  SetEnginePathText(false, std::string(300, 'p'));
  EXPECT_TRUE(IsEngineInstalled());
}

TEST_F(ProbeTest, ReadablePathOfThe32BitViewIsTheOneTested) {
  // The installer's view names a folder without the files: the 64-bit one is never consulted.
  std::string empty = kxtest::UniqueTempPath("noengine");
  MakeFolder(empty);
  MakeProbeFiles(folder_);
  SetEnginePathText(false, empty);
  SetEnginePathText(true, folder_);
  EXPECT_FALSE(IsEngineInstalled());
  kxtest::RemoveTree(empty);
}

TEST_F(ProbeTest, UnreadablePathOfThe32BitViewWithoutA64BitKeyIsNotInstalled) {
  MakeProbeFiles(folder_);
  CreateMachineKey(kEngineKey, false);
  EXPECT_FALSE(IsEngineInstalled());
  SetEnginePathText(false, "");
  EXPECT_FALSE(IsEngineInstalled());
  EXPECT_FALSE(IsProductInstalled());
}

TEST_F(ProbeTest, LegacyKeyWinsWhateverTheEngineState) {
  SetEnginePathText(false, folder_);  // folder without any probe file
  CreateMachineKey(kLegacyKey, true);
  EXPECT_FALSE(IsEngineInstalled());
  EXPECT_TRUE(IsProductInstalled());
}

TEST_F(ProbeTest, TrailingBackslashIsAppendedOnlyWhenMissing) {
  SetEnginePathText(false, "C:\\Engine");
  EXPECT_EQ("C:\\Engine\\", ReadPath(false));
  SetEnginePathText(false, "C:\\Engine\\");
  EXPECT_EQ("C:\\Engine\\", ReadPath(false));

  // Either way the probe paths are the folder immediately followed by the file names.
  MakeProbeFiles(folder_);
  SetEnginePathText(false, folder_ + "\\");
  EXPECT_TRUE(IsEngineInstalled());
  SetEnginePathText(false, folder_);
  EXPECT_TRUE(IsEngineInstalled());
}

TEST_F(ProbeTest, PathIsReadAsTextWhateverItsType) {
  SetEnginePathText(false, "C:\\Expand%TEMP%", REG_EXPAND_SZ);
  EXPECT_EQ("C:\\Expand%TEMP%\\", ReadPath(false));  // taken as it stands, not expanded

  const char binary[] = {'C', ':', '\\', 'B', 'i', 'n'};  // no terminator
  SetEnginePath(false, REG_BINARY, binary, sizeof binary);
  EXPECT_EQ("C:\\Bin\\", ReadPath(false));

  const char dword[4] = {'D', 'W', 'R', 'D'};
  SetEnginePath(false, REG_DWORD, dword, sizeof dword);
  EXPECT_EQ("DWRD\\", ReadPath(false));

  // A binary value that fills the whole buffer leaves no room for a terminator.
  std::string full(260, 'b');
  SetEnginePath(false, REG_BINARY, full.data(), 260);
  EXPECT_EQ("<unreadable>", ReadPath(false));
  SetEnginePath(false, REG_BINARY, full.data(), 259);
  EXPECT_EQ("<unreadable>", ReadPath(false));  // no room left for the backslash
  std::string fits = std::string(258, 'b');
  SetEnginePath(false, REG_BINARY, fits.data(), 258);
  EXPECT_EQ(fits + "\\", ReadPath(false));

  // The engine test itself reads a binary folder name.
  MakeProbeFiles(folder_);
  SetEnginePath(false, REG_BINARY, folder_.data(), static_cast<DWORD>(folder_.size()));
  EXPECT_TRUE(IsEngineInstalled());
}

TEST_F(ProbeTest, LengthLimitsOfThePathValue) {
  std::string longest(258, 'a');
  SetEnginePathText(false, longest);  // 258 characters: the backslash makes 259
  EXPECT_EQ(longest + "\\", ReadPath(false));
  SetEnginePathText(false, longest + "a");  // 259 characters, no room for the backslash
  EXPECT_EQ("<unreadable>", ReadPath(false));
  SetEnginePathText(false, longest + "\\");  // 259 characters ending in one: used unchanged
  EXPECT_EQ(longest + "\\", ReadPath(false));
  SetEnginePathText(false, longest + "aa");  // does not fit the buffer
  EXPECT_EQ("<unreadable>", ReadPath(false));
  SetEnginePathText(false, "");
  EXPECT_EQ("<unreadable>", ReadPath(false));
}

TEST_F(ProbeTest, EveryProbeFileIsRequired) {
  for (const char *missing : kProbeFiles) {
    SCOPED_TRACE(missing);
    std::string folder = kxtest::UniqueTempPath("five");
    MakeFolder(folder);
    MakeProbeFiles(folder, missing);
    SetEnginePathText(false, folder);
    EXPECT_FALSE(IsEngineInstalled());
    EXPECT_FALSE(IsProductInstalled());
    MakeFile(folder + "\\" + missing);
    EXPECT_TRUE(IsEngineInstalled());
    kxtest::RemoveTree(folder);
  }
}

TEST_F(ProbeTest, MissingFolderIsNotInstalled) {
  SetEnginePathText(false, folder_ + "\\absent");
  EXPECT_FALSE(IsEngineInstalled());
  // A file of that name is not a folder.
  MakeFile(folder_ + "\\absent");
  EXPECT_FALSE(IsEngineInstalled());
}

TEST_F(ProbeTest, ProbePathBeyondTheLongestPathIsNotInstalled) {
  // The folder fits, "engapi.dll" after it does not; the files exist all the same.
  std::string deep = folder_ + "\\" + std::string(254 - folder_.size() - 1, 'e');
  ASSERT_EQ(254u, deep.size());
  std::wstring wide = L"\\\\?\\" + std::wstring(deep.begin(), deep.end());
  ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
  CreateDirectoryW((wide + L"\\config").c_str(), nullptr);
  for (const char *file : kProbeFiles) {
    std::string name = file;
    HANDLE h = CreateFileW((wide + L"\\" + std::wstring(name.begin(), name.end())).c_str(),
                           GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << file;
    CloseHandle(h);
  }
  SetEnginePathText(false, deep);
  EXPECT_EQ(deep + "\\", ReadPath(false));
  EXPECT_FALSE(IsEngineInstalled());
  for (const char *file : kProbeFiles) {
    std::string name = file;
    DeleteFileW((wide + L"\\" + std::wstring(name.begin(), name.end())).c_str());
  }
  RemoveDirectoryW((wide + L"\\config").c_str());
  RemoveDirectoryW(wide.c_str());
}

// In code page 932, 0x95 0x5C is one character whose trail byte has the backslash's code: a
// folder name ending in it still needs the backslash appended.
TEST_F(ProbeTest, TrailByteWithTheBackslashCodeIsNoTrailingBackslash) {
  KXTEST_REQUIRE_DOUBLE_BYTE_CODE_PAGE();
  std::string engine = folder_ + "\\\x95\x5C";
  MakeFolder(engine);
  ASSERT_TRUE(kxtest::Exists(engine));
  MakeProbeFiles(engine);
  SetEnginePathText(false, engine);
  EXPECT_EQ(engine + "\\", ReadPath(false));
  EXPECT_TRUE(IsEngineInstalled());
}

TEST_F(ProbeTest, NullOutputBufferIsRefused) {
  SetEnginePathText(false, "C:\\Engine");
  EXPECT_FALSE(ReadEnginePath(false, nullptr));
}

// Where both views share App Paths, a key made in either view is found in both, and the
// probe answers the same whichever view it reads.
TEST_F(ProbeTest, SharedViewsGiveTheSameAnswer) {
  if (!g_sharedAtStart) GTEST_SKIP() << "this prefix keeps the two views apart";
  ASSERT_TRUE(ShareAppPathsViews());
  MakeProbeFiles(folder_);
  SetEnginePathText(true, folder_);
  EXPECT_TRUE(KeyPathExists(HKEY_LOCAL_MACHINE, kEngineKey));
  EXPECT_EQ(folder_ + "\\", ReadPath(false));
  EXPECT_EQ(folder_ + "\\", ReadPath(true));
  EXPECT_TRUE(IsEngineInstalled());
  CreateMachineKey(kLegacyKey, false);
  EXPECT_TRUE(KeyPathExists64(HKEY_LOCAL_MACHINE, kLegacyKey));
  RemoveProbeKeys();
  EXPECT_TRUE(SeparateAppPathsViews());
}

// Key paths in pieces, below a key of this test alone.
class KeyPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[64];
    snprintf(name, sizeof name, "Software\\kxenv_keys_%lu", GetCurrentProcessId());
    base_ = name;
  }
  void TearDown() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, base_.c_str());
    for (bool view64 : {false, true}) {
      HKEY software = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | ViewFlag(view64),
                        &software) == ERROR_SUCCESS) {
        SHDeleteKeyA(software, base_.substr(9).c_str());
        RegCloseKey(software);
      }
    }
  }
  std::string base_;
};

TEST_F(KeyPathTest, PiecesAreOpenedOneBelowTheOther) {
  HKEY made = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (base_ + "\\A\\B\\C").c_str(), 0,
                                           nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr));
  RegSetValueExA(made, "marker", 0, REG_SZ, reinterpret_cast<const BYTE *>("here"), 5);
  RegCloseKey(made);

  EXPECT_TRUE(KeyPathExists(HKEY_CURRENT_USER, (base_ + "\\A\\B\\C").c_str()));
  EXPECT_TRUE(KeyPathExists(HKEY_CURRENT_USER, (base_ + "|A\\B|C").c_str()));
  EXPECT_TRUE(KeyPathExists(HKEY_CURRENT_USER, (base_ + "|A|B|C").c_str()));
  EXPECT_FALSE(KeyPathExists(HKEY_CURRENT_USER, (base_ + "|B|C").c_str()));
  EXPECT_FALSE(KeyPathExists(HKEY_CURRENT_USER, (base_ + "|A|C").c_str()));
  EXPECT_FALSE(KeyPathExists(HKEY_CURRENT_USER, (base_ + "|A|B|C|D").c_str()));
  EXPECT_FALSE(KeyPathExists(HKEY_CURRENT_USER, nullptr));
  EXPECT_FALSE(KeyPathExists(nullptr, (base_ + "|A").c_str()));

  HKEY opened = OpenKeyPath(HKEY_CURRENT_USER, (base_ + "|A\\B|C").c_str());
  ASSERT_NE(nullptr, opened);
  char value[16] = {};
  DWORD size = sizeof value;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(opened, "marker", nullptr, nullptr,
                                            reinterpret_cast<BYTE *>(value), &size));
  EXPECT_STREQ("here", value);
  RegCloseKey(opened);
  EXPECT_EQ(nullptr, OpenKeyPath(HKEY_CURRENT_USER, (base_ + "|A|missing").c_str()));
}

// In code page 932, 0x83 0x7C is one character whose trail byte has the code of "|".
TEST_F(KeyPathTest, TrailByteWithTheBarCodeSeparatesNoPieces) {
  KXTEST_REQUIRE_DOUBLE_BYTE_CODE_PAGE();
  std::string name = "A\x83\x7C";
  HKEY made = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (base_ + "\\" + name).c_str(), 0,
                                           nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr));
  RegCloseKey(made);
  EXPECT_TRUE(KeyPathExists(HKEY_CURRENT_USER, (base_ + "|" + name).c_str()));
  EXPECT_TRUE(KeyPathExists(HKEY_CURRENT_USER, (base_ + "\\" + name + "|").c_str()));
}

TEST_F(KeyPathTest, OverLongKeyPathIsRefused) {
  HKEY made = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &made, nullptr));
  RegCloseKey(made);
  // Only empty pieces after the real key: each opens the same key again, so only the
  // length can refuse it.
  std::string path = base_ + std::string(260 - base_.size(), '|');
  EXPECT_TRUE(KeyPathExists(HKEY_CURRENT_USER, path.substr(0, 259).c_str()));
  EXPECT_FALSE(KeyPathExists(HKEY_CURRENT_USER, path.c_str()));
}

TEST_F(KeyPathTest, EachViewSeesItsOwnKeys) {
  std::string machine = base_ + "\\Only64";
  HKEY made = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, machine.c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &made, nullptr));
  RegCloseKey(made);
  EXPECT_TRUE(KeyPathExists64(HKEY_LOCAL_MACHINE, (base_ + "|Only64").c_str()));
  EXPECT_FALSE(KeyPathExists(HKEY_LOCAL_MACHINE, (base_ + "|Only64").c_str()));

  std::string machine32 = base_ + "\\Only32";
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, machine32.c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS | kxtest::kInstallerView, nullptr, &made, nullptr));
  RegCloseKey(made);
  EXPECT_TRUE(KeyPathExists(HKEY_LOCAL_MACHINE, (base_ + "|Only32").c_str()));
  EXPECT_FALSE(KeyPathExists64(HKEY_LOCAL_MACHINE, (base_ + "|Only32").c_str()));
}

}  // namespace
