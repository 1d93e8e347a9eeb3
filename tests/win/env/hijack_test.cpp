// Clean-up of launch hijacks against the real registry of the test prefix. Every test of the
// Image File Execution Options and compatibility-layers keys lives in this one program so that
// they never race each other; each names its programs after this process, and removes what it
// made (and keys it had to create) when it ends.
#include "env/hijack.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/installer_view.h"
#include "win/env/scratch.h"

namespace {

using kxtest::kInstallerView;

const char kOptionsKey[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const char kFlagsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";
const char kLayersKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

// Deletes a key this test created, once nothing is left in it.
void DeleteIfEmpty(HKEY root, const char *path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ | kInstallerView, &key) != ERROR_SUCCESS) return;
  DWORD values = 1, subkeys = 1;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (values == 0 && subkeys == 0) RegDeleteKeyExA(root, path, kInstallerView, 0);
}

bool KeyExists(HKEY root, const std::string &path, REGSAM view = kInstallerView) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void SetText(HKEY key, const char *name, const char *text) {
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                           static_cast<DWORD>(strlen(text) + 1)));
}

bool HasValue(HKEY root, const std::string &path, const std::string &name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | kInstallerView, &key) != ERROR_SUCCESS)
    return false;
  bool found =
      RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

// A program name of this process alone, in the case given.
std::string ProgramName(bool upper = false) {
  char name[64];
  std::snprintf(name, sizeof name, upper ? "KX%luSTAGE.EXE" : "kx%lustage.exe",
                GetCurrentProcessId());
  return name;
}

class DebuggerHijackTest : public ::testing::Test {
 protected:
  void TearDown() override {
    HKEY options = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOptionsKey, 0, KEY_ALL_ACCESS | kInstallerView,
                      &options) != ERROR_SUCCESS)
      return;
    for (const std::string &name : made_) SHDeleteKeyA(options, name.c_str());
    RegCloseKey(options);
  }
  // An Image File Execution Options subkey with the values named (each set to "x").
  HKEY MakeOptions(const std::string &name, const std::vector<const char *> &values,
                   REGSAM view = kInstallerView) {
    made_.push_back(name);
    HKEY key = nullptr;
    std::string path = std::string(kOptionsKey) + "\\" + name;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
    for (const char *value : values) SetText(key, value, "C:\\evil\\debugger.exe");
    return key;
  }
  std::string Path(const std::string &name) { return std::string(kOptionsKey) + "\\" + name; }
  std::vector<std::string> made_;
};

TEST_F(DebuggerHijackTest, SubkeyWithADebuggerGoesWithEverythingBelowIt) {
  for (const char *debugger : {"Debugger", "DEBUGGER", "debugger", "dEbUgGeR"}) {
    SCOPED_TRACE(debugger);
    HKEY key = MakeOptions(ProgramName(true), {"GlobalFlag", debugger, "MitigationOptions"});
    HKEY inner = nullptr;
    RegCreateKeyExA(key, "Inner\\Deeper", 0, nullptr, 0, KEY_ALL_ACCESS | kInstallerView, nullptr,
                    &inner, nullptr);
    SetText(inner, "kept", "no");
    RegCloseKey(inner);
    RegCloseKey(key);
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Path(ProgramName()) + "\\Inner\\Deeper"));

    EXPECT_TRUE(RemoveDebuggerHijack(ProgramName().c_str()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Path(ProgramName())));
  }
}

TEST_F(DebuggerHijackTest, SubkeyWithoutADebuggerIsLeftAlone) {
  RegCloseKey(MakeOptions(ProgramName(), {"GlobalFlag", "DebuggerPath", "Xdebugger"}));
  EXPECT_TRUE(RemoveDebuggerHijack(ProgramName(true).c_str()));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, Path(ProgramName()), "GlobalFlag"));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, Path(ProgramName()), "DebuggerPath"));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, Path(ProgramName()), "Xdebugger"));
}

TEST_F(DebuggerHijackTest, OtherProgramsKeepTheirDebugger) {
  std::string longer = "x" + ProgramName();
  RegCloseKey(MakeOptions(longer, {"Debugger"}));
  RegCloseKey(MakeOptions(ProgramName() + ".old", {"Debugger"}));
  RegCloseKey(MakeOptions(ProgramName(), {"Debugger"}));

  EXPECT_TRUE(RemoveDebuggerHijack(ProgramName().c_str()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Path(ProgramName())));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, Path(longer), "Debugger"));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, Path(ProgramName() + ".old"), "Debugger"));
}

TEST_F(DebuggerHijackTest, KeyMadeThroughThe64BitViewIsJudgedByThe32BitView) {
  RegCloseKey(MakeOptions(ProgramName(), {"Debugger"}, KEY_WOW64_64KEY));
  bool sharedViews = KeyExists(HKEY_LOCAL_MACHINE, Path(ProgramName()));
  EXPECT_TRUE(RemoveDebuggerHijack(ProgramName().c_str()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Path(ProgramName())));
  // Only the installer's view is cleaned: a separate 64-bit view keeps its key.
  EXPECT_EQ(!sharedViews, KeyExists(HKEY_LOCAL_MACHINE, Path(ProgramName()), KEY_WOW64_64KEY));
  if (!sharedViews) {
    std::string path = Path(ProgramName());
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
  }
}

TEST_F(DebuggerHijackTest, NullNameIsRefused) { EXPECT_FALSE(RemoveDebuggerHijack(nullptr)); }

// The real name the installer cleans, in the case a hijacker might choose.
TEST_F(DebuggerHijackTest, StageExeInAnyCase) {
  RegCloseKey(MakeOptions("STAGE.EXE", {"Debugger"}));
  EXPECT_TRUE(RemoveDebuggerHijack("stage.exe"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Path("STAGE.EXE")));
}

class CompatLayersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      existedBefore_.push_back(KeyExists(root, kLayersKey));
      flagsExistedBefore_.push_back(KeyExists(root, kFlagsKey));
    }
  }
  void TearDown() override {
    int at = 0;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      HKEY key = nullptr;
      if (RegOpenKeyExA(root, kLayersKey, 0, KEY_ALL_ACCESS | kInstallerView, &key) ==
          ERROR_SUCCESS) {
        for (const std::string &name : made_) RegDeleteValueA(key, name.c_str());
        RegCloseKey(key);
      }
      if (!existedBefore_[at]) DeleteIfEmpty(root, kLayersKey);
      if (!flagsExistedBefore_[at]) DeleteIfEmpty(root, kFlagsKey);
      ++at;
    }
  }
  void MakeLayers(HKEY root, const std::vector<std::string> &names) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(root, kLayersKey, 0, nullptr, 0, KEY_ALL_ACCESS | kInstallerView,
                              nullptr, &key, nullptr));
    for (const std::string &name : names) {
      made_.push_back(name);
      SetText(key, name.c_str(), "~ RUNASADMIN WINXPSP3");
    }
    RegCloseKey(key);
  }
  bool Has(HKEY root, const std::string &name) { return HasValue(root, kLayersKey, name); }
  std::vector<bool> existedBefore_;
  std::vector<bool> flagsExistedBefore_;
  std::vector<std::string> made_;
};

TEST_F(CompatLayersTest, EntriesForTheProgramGoUnderBothRoots) {
  std::string exe = ProgramName();
  std::vector<std::string> gone = {"C:\\Program Files\\Setup\\" + ProgramName(true), exe,
                                   "\\\\server\\share\\" + exe,
                                   "D:\\a\\b\\c\\" + ProgramName(true)};
  std::vector<std::string> kept = {"D:\\a\\x" + exe, "C:\\Dir\\" + exe + ".bak",
                                   "C:\\" + exe + "\\other.exe", "C:\\Dir\\" + exe + "\\"};
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    // Interleaved, so deletions meet both neighbours that stay and neighbours that go.
    MakeLayers(root, {gone[0], kept[0], gone[1], kept[1], kept[2], gone[2], kept[3], gone[3]});
  }
  EXPECT_TRUE(RemoveCompatLayers(exe.c_str()));
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (const std::string &name : gone) EXPECT_FALSE(Has(root, name)) << name;
    for (const std::string &name : kept) EXPECT_TRUE(Has(root, name)) << name;
  }
}

TEST_F(CompatLayersTest, AdjacentMatchesAreAllRemovedInOnePass) {
  std::string exe = ProgramName();
  std::vector<std::string> run;
  for (int i = 0; i < 5; ++i) run.push_back("C:\\Run" + std::to_string(i) + "\\" + exe);
  MakeLayers(HKEY_CURRENT_USER, run);
  MakeLayers(HKEY_CURRENT_USER, {"C:\\Stay\\other.exe"});
  EXPECT_TRUE(RemoveCompatLayers(exe.c_str()));
  for (const std::string &name : run) EXPECT_FALSE(Has(HKEY_CURRENT_USER, name)) << name;
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, "C:\\Stay\\other.exe"));
}

TEST_F(CompatLayersTest, OverLongNameDoesNotHideTheEntriesBehindIt) {
  std::string exe = ProgramName();
  std::string longName = "C:\\" + std::string(300, 'L') + "\\other.exe";
  MakeLayers(HKEY_CURRENT_USER, {longName, "C:\\After\\" + exe});
  EXPECT_TRUE(RemoveCompatLayers(exe.c_str()));
  EXPECT_FALSE(Has(HKEY_CURRENT_USER, "C:\\After\\" + exe));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, longName));
}

TEST_F(CompatLayersTest, MachineKeyAloneIsCleaned) {
  if (KeyExists(HKEY_CURRENT_USER, kLayersKey)) {
    HKEY key = nullptr;
    DWORD values = 1;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kLayersKey, 0, KEY_READ | kInstallerView, &key) ==
        ERROR_SUCCESS) {
      RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                       nullptr, nullptr, nullptr);
      RegCloseKey(key);
    }
    if (values != 0) GTEST_SKIP() << "the user key holds entries of somebody else";
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyExA(HKEY_CURRENT_USER, kLayersKey, kInstallerView, 0));
  }
  std::string exe = ProgramName();
  MakeLayers(HKEY_LOCAL_MACHINE, {"C:\\Machine\\" + exe});
  ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, kLayersKey));
  EXPECT_TRUE(RemoveCompatLayers(exe.c_str()));
  EXPECT_FALSE(Has(HKEY_LOCAL_MACHINE, "C:\\Machine\\" + exe));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kLayersKey));
}

TEST_F(CompatLayersTest, NullNameIsRefusedAndAnUnmatchedNameKeepsTheEntries) {
  EXPECT_FALSE(RemoveCompatLayers(nullptr));
  std::string exe = ProgramName();
  MakeLayers(HKEY_CURRENT_USER, {"C:\\Null\\" + exe});
  EXPECT_FALSE(RemoveCompatLayers(nullptr));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, "C:\\Null\\" + exe));
  EXPECT_TRUE(RemoveCompatLayers("no-such-program.exe"));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, "C:\\Null\\" + exe));
}

TEST_F(CompatLayersTest, StageExeInAnyCase) {
  MakeLayers(HKEY_CURRENT_USER,
             {"C:\\Work\\KX0102.ins\\STAGE.EXE", "C:\\Work\\Stage.Exe", "C:\\Work\\backstage.exe"});
  EXPECT_TRUE(RemoveCompatLayers("stage.exe"));
  EXPECT_FALSE(Has(HKEY_CURRENT_USER, "C:\\Work\\KX0102.ins\\STAGE.EXE"));
  EXPECT_FALSE(Has(HKEY_CURRENT_USER, "C:\\Work\\Stage.Exe"));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, "C:\\Work\\backstage.exe"));
}

// In a double-byte code page (932 here): 0x95 0x5C is one character whose trail byte has the
// backslash's code; 0x83 0x41 and 0x83 0x61 are two different characters whose trail bytes
// are the same letter in two cases.
class DoubleByteNamesTest : public CompatLayersTest {
 protected:
  void SetUp() override {
    CompatLayersTest::SetUp();
    KXTEST_REQUIRE_DOUBLE_BYTE_CODE_PAGE();
  }
};

TEST_F(DoubleByteNamesTest, TrailByteWithTheBackslashCodeIsNoSeparator) {
  std::string exe = ProgramName();
  std::string glued = "C:\\Dir\\\x95\x5C" + exe;  // file name part: the character, then exe
  std::string bare = "\x95\x5C" + exe;
  std::string real = "C:\\\x95\x5C\\" + exe;  // a folder named with that character
  MakeLayers(HKEY_CURRENT_USER, {glued, bare, real});
  ASSERT_TRUE(Has(HKEY_CURRENT_USER, glued));
  EXPECT_TRUE(RemoveCompatLayers(exe.c_str()));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, glued));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, bare));
  EXPECT_FALSE(Has(HKEY_CURRENT_USER, real));
}

TEST_F(DoubleByteNamesTest, TrailBytesAreNotComparedAsLetters) {
  std::string exe = ProgramName();
  std::string stored = "C:\\Dir\\\x83\x41" + exe;
  MakeLayers(HKEY_CURRENT_USER, {stored});
  EXPECT_TRUE(RemoveCompatLayers((std::string("\x83\x61") + exe).c_str()));
  EXPECT_TRUE(Has(HKEY_CURRENT_USER, stored));
  EXPECT_TRUE(RemoveCompatLayers((std::string("\x83\x41") + exe).c_str()));
  EXPECT_FALSE(Has(HKEY_CURRENT_USER, stored));
}

TEST_F(DoubleByteNamesTest, DebuggerSubkeyNamesCompareACharacterAtATime) {
  std::string name = "\x83\x41" + ProgramName();
  std::string path = std::string(kOptionsKey) + "\\" + name;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS | kInstallerView, nullptr, &key, nullptr));
  SetText(key, "Debugger", "C:\\evil.exe");
  RegCloseKey(key);
  EXPECT_TRUE(RemoveDebuggerHijack((std::string("\x83\x61") + ProgramName()).c_str()));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, path));
  EXPECT_TRUE(RemoveDebuggerHijack(name.c_str()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, path));
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), kInstallerView, 0);
}

}  // namespace
