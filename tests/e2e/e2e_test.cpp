// Whole runs of real images under Wine: the installation sets are made by the arj archiver,
// the inner installer and the self-protection component are the test doubles, and the
// progress dialog is driven like a user would drive it.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

#include "app/messages.h"
#include "support/image_builder.h"
#include "support/installer_view.h"
#include "support/win_harness.h"

using namespace kxtest;

namespace {

const char kRefusal[] =
    "Installation can not proceed on this system due to one\r\nof the following reasons:\r\n\r\n"
    " - Installation was terminated before completion on this system.\r\n - System has not "
    "been restarted after un-installation.\r\n\r\nRestart is required to proceed with the "
    "installation.";

const char kIfeo[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const char kLayers[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
const char kLegacyKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KX32.EXE";

// What the progress dialog shows: its window and the bar's range and position.
struct DialogState {
  HWND dialog = nullptr;
  int rangeHigh = -1;
  int position = -1;
};

DialogState ReadDialog(DWORD pid) {
  DialogState s;
  for (HWND w : WindowsOf(pid)) {
    char title[64] = {};
    GetWindowTextA(w, title, sizeof title);
    if (std::string(title) != "Unpacking ....") continue;
    s.dialog = w;
    HWND bar = GetDlgItem(w, 1001);
    if (bar) {
      s.rangeHigh = static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
      s.position = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
    }
  }
  return s;
}

void PressCancel(HWND dialog) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised names
    root_ = FreshDir("e2e_" + name);
    temp_ = root_ + "\\temp";
    CreateDirectoryA(temp_.c_str(), nullptr);
    image_ = root_ + "\\setup.exe";
  }

  std::string SetDir(const std::string &set) { return TestDataDir() + "\\e2e\\" + set; }
  std::string LogPath(const std::string &set) {
    return TestDataDir() + "\\e2e\\logs\\" + set + ".log";
  }

  void MakeImage(const std::string &set, int silent = 0, std::uint32_t requiredMB = 0) {
    ImageSpec spec;
    ASSERT_TRUE(ReadFileBytes(SetDir(set) + "\\KXDATA.ARJ", &spec.payload)) << set;
    spec.silent = silent;
    spec.requiredMB = requiredMB;
    ASSERT_TRUE(WriteImage(image_, spec));
    DeleteFileA(LogPath(set).c_str());
  }

  // Runs the image to its end with TEMP in the test's folder; `watch` is called on every poll
  // with the child and may drive the dialog. Message boxes are read and dismissed.
  DWORD Run(const std::string &args, const std::function<void(Child &)> &watch = {}) {
    std::string t = temp_ + "\\";
    std::vector<MessageBoxInfo> infos;
    DWORD code = RunDismissingBoxes(image_, args, {{"TEMP", t}, {"TMP", t}}, &infos, 120000,
                                    [&](Child &child) {
                                      everVisible_ |= AnyVisibleWindow(child.pid);
                                      if (watch) watch(child);
                                    });
    for (const MessageBoxInfo &box : infos) boxes_.push_back(box.text);
    EXPECT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "did not start or did not end";
    return code;
  }

  std::string WorkFolder() {
    for (const std::string &name : FolderNames(temp_))
      if (std::regex_match(name, std::regex("KX[0-9]{4}\\.ins"))) return temp_ + "\\" + name;
    return "";
  }

  std::string Log(const std::string &set) {
    std::string log;
    ReadFileBytes(LogPath(set), &log);
    return log;
  }

  // A failed run: the failure's box unless silent, in which case no window ever showed.
  void ExpectFailure(DWORD code, DWORD expectedCode, const char *text, int silent) {
    EXPECT_EQ(code, expectedCode);
    if (silent) {
      EXPECT_TRUE(boxes_.empty());
      EXPECT_FALSE(everVisible_);
    } else {
      EXPECT_EQ(boxes_, std::vector<std::string>{text});
    }
  }

  std::string root_, temp_, image_;
  std::vector<std::string> boxes_;
  bool everVisible_ = false;
};

// Registry entries that would start another program instead of stage.exe, or run it in a
// compatibility mode.
void PlantHijacks() {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kIfeo) + "\\stage.exe").c_str(), 0,
                            nullptr, 0, KEY_ALL_ACCESS | kInstallerView, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "Debugger", 0, REG_SZ, reinterpret_cast<const BYTE *>("C:\\evil.exe"), 12);
  RegCloseKey(key);
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    ASSERT_EQ(RegCreateKeyExA(root, kLayers, 0, nullptr, 0, KEY_ALL_ACCESS | kInstallerView,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "C:\\Setup\\Stage.EXE", 0, REG_SZ, reinterpret_cast<const BYTE *>("WIN95"),
                   6);
    RegSetValueExA(key, "C:\\Setup\\mystage.exe", 0, REG_SZ,
                   reinterpret_cast<const BYTE *>("WIN95"), 6);
    RegCloseKey(key);
  }
}

bool ValueExists(HKEY root, const char *path, const char *value) {
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ | kInstallerView, &key) != ERROR_SUCCESS) return false;
  bool found = RegQueryValueExA(key, value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

TEST_F(EndToEnd, NormalRunUnpacksEverythingAndEndsWithTheInstallersCode) {
  MakeImage("normal");
  // The image itself as kxpack built it from the set's folder tree.
  ASSERT_TRUE(CopyFileA((SetDir("normal") + "\\setup.exe").c_str(), image_.c_str(), FALSE));
  PlantHijacks();
  DWORD code = Run("/KXPATH=C:\\Prog");
  EXPECT_EQ(code, 3010u);
  EXPECT_TRUE(boxes_.empty());

  // The hijacks are gone; a longer name that only ends in stage.exe stays.
  HKEY key;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kIfeo) + "\\stage.exe").c_str(), 0,
                          KEY_READ | kInstallerView, &key),
            ERROR_SUCCESS);
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    EXPECT_FALSE(ValueExists(root, kLayers, "C:\\Setup\\Stage.EXE"));
    EXPECT_TRUE(ValueExists(root, kLayers, "C:\\Setup\\mystage.exe"));
    if (RegOpenKeyExA(root, kLayers, 0, KEY_ALL_ACCESS | kInstallerView, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "C:\\Setup\\mystage.exe");
      RegCloseKey(key);
    }
  }

  std::string work = WorkFolder();
  ASSERT_FALSE(work.empty());
  std::vector<std::string> files = FolderNames(work);
  for (const char *expected :
       {"ARGSAVE.DAT", "BN.ARJ", "VELODAT.ARJ", "CORE.ARJ", "bnstub.dll", "bnapi.dll",
        "bn_control.txt", "stage.exe", "KXDELTMP.EXE", "VeloDat", "NEWFILE.TMP"}) {
    EXPECT_TRUE(std::any_of(files.begin(), files.end(), [&](const std::string &f) {
      return !lstrcmpiA(f.c_str(), expected);
    })) << expected;
  }
  EXPECT_FALSE(Exists(work + "\\KXDATA.ARJ"));
  EXPECT_FALSE(Exists(work + "\\STAGE.ARJ"));
  EXPECT_FALSE(FolderNames(work + "\\VeloDat").empty());
  // The last members of CORE.ARJ are also members of BN.ARJ: their moves fail, the copies
  // from BN.ARJ stay and the last one's data stays in NEWFILE.TMP.
  std::string last, fromBn;
  ASSERT_TRUE(ReadFileBytes(work + "\\NEWFILE.TMP", &last));
  ASSERT_TRUE(ReadFileBytes(work + "\\bnstub.dll", &fromBn));
  EXPECT_EQ(last, fromBn);
  // The cleaner lies in the temporary folder, next to the work folder.
  EXPECT_TRUE(Exists(temp_ + "\\KXDELTMP.EXE"));

  std::string report;
  ASSERT_TRUE(ReadFileBytes(work + "\\stage_report.txt", &report));
  EXPECT_NE(report.find("cmdline=" + work + "\\stage.exe /STANDARD /KXPATH=C:\\Prog\r\n"),
            std::string::npos)
      << report;
  std::string log = Log("normal");
  EXPECT_NE(log.find("BN_InstallSystem"), std::string::npos) << log;
  EXPECT_NE(log.find("BN_StartSystem"), std::string::npos) << log;
  EXPECT_NE(log.find("BN_ProtectFolder"), std::string::npos) << log;
  EXPECT_EQ(log.find("BN_ReleaseFolder"), std::string::npos) << log;
}

TEST_F(EndToEnd, InstalledProductSkipsTheSetUp) {
  for (REGSAM view : {kInstallerView, REGSAM(KEY_WOW64_64KEY)}) {
    MakeImage("normal");
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLegacyKey, 0, nullptr, 0, KEY_ALL_ACCESS | view,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(Run(""), 3010u);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kLegacyKey, view, 0);
    EXPECT_EQ(Log("normal"), "") << "view " << view;
    for (const std::string &name : FolderNames(temp_)) RemoveTree(temp_ + "\\" + name);
  }
}

TEST_F(EndToEnd, OneOfTheComponentArchivesMissingSkipsTheStage) {
  MakeImage("only_bn");
  // Without the stage there is no installer to start.
  ExpectFailure(Run(""), 132, msg::kCannotStartInstaller, 0);
  std::string work = WorkFolder();
  ASSERT_FALSE(work.empty());
  EXPECT_TRUE(Exists(work + "\\STAGE.ARJ"));
  EXPECT_TRUE(Exists(work + "\\BN.ARJ"));
  EXPECT_FALSE(Exists(work + "\\stage.exe"));
  EXPECT_FALSE(Exists(work + "\\bnstub.dll"));
  EXPECT_TRUE(IsDirectory(work + "\\VeloDat"));
  EXPECT_EQ(Log("only_bn"), "");
}

TEST_F(EndToEnd, PayloadThatIsNoArchiveIsCorruptAndRemovesTheWorkFolder) {
  ImageSpec spec;
  spec.payload = PayloadBytes(20000, 7);
  ASSERT_TRUE(WriteImage(image_, spec));
  ExpectFailure(Run("x"), 131, msg::kCorruptImage, 0);
  EXPECT_EQ(WorkFolder(), "");
}

// One member of one archive fails its check: the run stops there, releasing the protection
// only from STAGE.ARJ on, removes the work folder and says the set is corrupt.
struct DamageCase {
  const char *set;
  bool released;
  int silent;
};

class DamagedMember : public EndToEnd, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedMember, StopsTheRunAsCorrupt) {
  const DamageCase &c = GetParam();
  MakeImage(c.set, c.silent);
  ExpectFailure(Run(""), 131, msg::kCorruptImage, c.silent);
  EXPECT_EQ(WorkFolder(), "");
  std::string log = Log(c.set);
  // The set-up runs after VeloDat.ARJ: a stop before it never reaches it.
  EXPECT_EQ(log.find("BN_InstallSystem") != std::string::npos, c.released) << log;
  EXPECT_EQ(log.find("BN_ReleaseFolder") != std::string::npos, c.released) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Archives, DamagedMember,
    ::testing::Values(DamageCase{"damaged_KXDATA", false, 0}, DamageCase{"damaged_BN", false, 0},
                      DamageCase{"damaged_VELO", false, 0}, DamageCase{"damaged_STAGE", true, 0},
                      DamageCase{"damaged_CORE", true, 0}, DamageCase{"damaged_KXDATA", false, 1},
                      DamageCase{"damaged_BN", false, 1}, DamageCase{"damaged_VELO", false, 1},
                      DamageCase{"damaged_STAGE", true, 1}, DamageCase{"damaged_CORE", true, 1}),
    [](const ::testing::TestParamInfo<DamageCase> &param) {
      return std::string(param.param.set) + (param.param.silent ? "_silent" : "");
    });

class NotLaunched : public EndToEnd, public ::testing::WithParamInterface<int> {};

// The set lacks stage.exe: nothing was installed, the work folder stays for a look.
TEST_P(NotLaunched, SetWithoutTheInstallerFailsWith132) {
  int silent = GetParam();
  MakeImage("no_stage", silent);
  ExpectFailure(Run(""), 132, msg::kCannotStartInstaller, silent);
  std::string work = WorkFolder();
  ASSERT_FALSE(work.empty());
  EXPECT_TRUE(Exists(work + "\\KXDELTMP.EXE"));
  EXPECT_TRUE(Exists(work + "\\bnapi.dll"));
  EXPECT_FALSE(Exists(work + "\\stage.exe"));
}

// The installer's command line would not fit: it is not started.
TEST_P(NotLaunched, CommandLineTooLongForTheInstallerFailsWith132) {
  int silent = GetParam();
  MakeImage("normal", silent);
  ExpectFailure(Run("/KXPATH=C:\\" + std::string(240, 'p')), 132, msg::kCannotStartInstaller,
                silent);
  std::string work = WorkFolder();
  ASSERT_FALSE(work.empty());
  EXPECT_TRUE(Exists(work + "\\stage.exe"));
  EXPECT_FALSE(Exists(work + "\\stage_report.txt"));
}

// A member bigger than what is left on the volume of the temporary folder (the start-up
// fixtures' 16 MiB memory volume): the write fails.
TEST_P(NotLaunched, MemberThatDoesNotFitOnTheDiskFailsWith130) {
  int silent = GetParam();
  std::string volume = TestDataDir() + "\\diskfull_run";
  ULARGE_INTEGER available, total, totalFree;
  if (!GetDiskFreeSpaceExA((volume + "\\").c_str(), &available, &total, &totalFree) ||
      total.QuadPart > (64u << 20)) {
    GTEST_SKIP() << "no small volume could be mounted for this test";
  }
  temp_ = volume + "\\temp" + std::to_string(silent);
  RemoveTree(temp_);
  ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
  MakeImage("disk_full", silent, 1);  // start-up asks for 1 MB only
  bool workFolderSeen = false;        // the unpack, not start-up, ran out of room
  DWORD code = Run("", [&](Child &) { workFolderSeen |= !WorkFolder().empty(); });
  ExpectFailure(code, 130, msg::kNoDiskSpace, silent);
  EXPECT_TRUE(workFolderSeen);
  EXPECT_EQ(WorkFolder(), "");
  RemoveTree(temp_);
}

INSTANTIATE_TEST_SUITE_P(SilentOrNot, NotLaunched, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int> &param) {
                           return param.param ? std::string("silent") : std::string("shown");
                         });

TEST_F(EndToEnd, SilentRunShowsNoWindowAndPlacesNoCleaner) {
  MakeImage("normal", 1);
  EXPECT_EQ(Run(""), 3010u);
  EXPECT_FALSE(everVisible_);
  std::string work = WorkFolder();
  std::string report;
  ASSERT_TRUE(ReadFileBytes(work + "\\stage_report.txt", &report));
  EXPECT_NE(report.find("stage.exe /SILENT\r\n"), std::string::npos) << report;
  EXPECT_FALSE(Exists(temp_ + "\\KXDELTMP.EXE"));
}

TEST_F(EndToEnd, LeftoverProtectionSystemRefusesInstallation) {
  MakeImage("refusal");
  EXPECT_EQ(Run(""), 138u);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], kRefusal);
  EXPECT_EQ(WorkFolder(), "");
  EXPECT_NE(Log("refusal").find("BN_UninstallSystem"), std::string::npos);
}

// A refused member name makes the set corrupt: the run stops in CORE.ARJ (the release shows
// it got there) and removes the work folder.
TEST_F(EndToEnd, HostileMemberNamesWriteNothingOutsideTheWorkFolder) {
  MakeImage("hostile");
  ExpectFailure(Run(""), 131, msg::kCorruptImage, 0);
  EXPECT_EQ(WorkFolder(), "");
  EXPECT_NE(Log("hostile").find("BN_ReleaseFolder"), std::string::npos);
  for (const std::string &place :
       {root_, temp_, TestDataDir(), std::string("C:"), std::string("Z:")}) {
    EXPECT_FALSE(Exists(place + "\\ESCAPED.EXE")) << place;
    EXPECT_FALSE(Exists(place + "\\ESCAPED2.EXE")) << place;
  }
}

// The Unix path behind a test data path (Z:\... is the Unix root).
std::string UnixPath(const std::string &winePath) {
  std::string p = winePath.substr(2);
  std::replace(p.begin(), p.end(), '\\', '/');
  return p;
}

// Somebody plants a link to a folder of theirs in the work folder while the installer runs;
// the cancel that removes the work folder must not delete what the link points at.
TEST_F(EndToEnd, CancelDoesNotFollowALinkPlantedInTheWorkFolder) {
  std::string agent = TestDataDir() + "\\e2e_links";
  ASSERT_TRUE(Exists(agent + "\\agent.pid")) << "the link agent is not running";
  std::string outside = FreshDir("e2e_outside");
  ASSERT_TRUE(WriteFileBytes(outside + "\\keep1.txt", "precious"));
  CreateDirectoryA((outside + "\\sub").c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(outside + "\\sub\\keep2.txt", "precious too"));
  DeleteFileA((agent + "\\link_done").c_str());

  MakeImage("cancel");
  bool requested = false, linked = false, pressed = false;
  Run("", [&](Child &child) {
    std::string work = WorkFolder();
    if (!requested && !work.empty()) {
      WriteFileBytes(agent + "\\link_request",
                     UnixPath(outside) + " " + UnixPath(work) + "/zlink\n");
      requested = true;
    }
    linked = linked || Exists(agent + "\\link_done");
    DialogState s = ReadDialog(child.pid);
    // Cancel once the link is there, during VeloDat.ARJ: no release, the tree is removed.
    if (linked && !pressed && s.dialog && s.rangeHigh == 250) {
      PressCancel(s.dialog);
      pressed = true;
    }
  });
  ASSERT_TRUE(linked);
  EXPECT_TRUE(pressed);
  EXPECT_TRUE(Exists(outside + "\\keep1.txt"));
  EXPECT_TRUE(Exists(outside + "\\sub\\keep2.txt"));
  // Wine cannot remove a Unix directory link, so there the walk stops at the link and part of
  // the work folder may stay; what matters is that nothing behind the link was touched.
}

// Cancel pressed while one archive is unpacked, recognised by its member count on the bar.
struct CancelCase {
  const char *archive;
  int members;
  bool released;
  bool productInstalled = false;  // the set-up does not run
};

class CancelDuringArchive : public EndToEnd, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelDuringArchive, RemovesWorkFolderReleasingFromStageOn) {
  const CancelCase &c = GetParam();
  MakeImage("cancel");
  HKEY key;
  if (c.productInstalled) {
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLegacyKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS | kInstallerView, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  bool pressed = false;
  int positionAtPress = -1;
  DWORD code = Run("", [&](Child &child) {
    if (pressed) return;
    DialogState s = ReadDialog(child.pid);
    if (s.dialog && s.rangeHigh == c.members) {
      PressCancel(s.dialog);
      pressed = true;
      positionAtPress = s.position;
    }
  });
  if (c.productInstalled) RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kLegacyKey, kInstallerView, 0);
  EXPECT_TRUE(pressed) << c.archive;
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(WorkFolder(), "") << c.archive << " at " << positionAtPress;
  std::string log = Log("cancel");
  if (c.productInstalled) {
    // The set-up never ran; the release still asks the component whether it is installed.
    EXPECT_EQ(log.find("BN_InstallSystem"), std::string::npos) << log;
    EXPECT_EQ(log.find("IsBastionInstalled") != std::string::npos, c.released) << log;
  } else {
    EXPECT_EQ(log.find("BN_ReleaseFolder") != std::string::npos, c.released) << log;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Archives, CancelDuringArchive,
    ::testing::Values(CancelCase{"KXDATA.ARJ", 303, false}, CancelCase{"BN.ARJ", 153, false},
                      CancelCase{"VeloDat.ARJ", 250, false}, CancelCase{"STAGE.ARJ", 354, true},
                      CancelCase{"CORE.ARJ", 702, true}, CancelCase{"STAGE.ARJ", 354, true, true}),
    [](const ::testing::TestParamInfo<CancelCase> &param) {
      std::string n = param.param.archive;
      return n.substr(0, n.find('.')) + (param.param.productInstalled ? "_ProductInstalled" : "");
    });

}  // namespace
