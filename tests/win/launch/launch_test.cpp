// The inner installer's launch: command line, working folder, exit code and the hidden
// dialog, each read back from the report of the stage.exe double.
#include "ui/launch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/options.h"
#include "win/launch/test_folders.h"

namespace {

using namespace testing_folders;

// A work folder holding the stage.exe double.
std::string WorkFolderWithInstaller(const std::string &name) {
  std::string folder = FreshFolder("launch\\" + name);
  EXPECT_TRUE(CopyDouble("stage.exe", folder + "stage.exe"));
  return folder;
}

std::string ReportValue(const std::string &reportPath, const std::string &key) {
  for (const std::string &line : ReadLines(reportPath)) {
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  }
  return "(missing)";
}

// Whether this process has a message box (a dialog-class top-level window) on screen.
bool OwnMessageBoxShown() {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w;
       w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == GetCurrentProcessId()) return true;
  }
  return false;
}

struct LaunchResult {
  int result;
  DWORD exitCode;
  std::string cmdline;  // as the installer saw it, with the folder written as <F>
};

LaunchResult Launch(const std::string &folder, const char *frontEndLine, int silent) {
  kx::InstallerOptions opts;
  kx::ParseOptions(frontEndLine, &opts);
  DeleteFileA((folder + "stage_report.txt").c_str());
  LaunchResult run;
  run.exitCode = 0xDEADBEEF;
  run.result = kx::LaunchInnerInstaller(folder.c_str(), kx::DecodeSilent(silent), opts, nullptr,
                                        &run.exitCode);
  run.cmdline = ReportValue(folder + "stage_report.txt", "cmdline");
  std::size_t at = run.cmdline.find(folder);
  if (at != std::string::npos) run.cmdline.replace(at, folder.size(), "<F>");
  return run;
}

TEST(LaunchInstaller, CommandLinesOfEveryTableRowReachTheInstaller) {
  std::string folder = WorkFolderWithInstaller("rows");
  struct Row {
    const char *frontEnd;
    int silent;
    const char *installer;
  } rows[] = {
      {"", 0, "<F>stage.exe /STANDARD"},
      {"", 1, "<F>stage.exe /SILENT"},
      {"/KXPATH=C:\\Prog", 0, "<F>stage.exe /STANDARD /KXPATH=C:\\Prog"},
      {"/KXPATH=C:\\Prog /firewall=1", 0, "<F>stage.exe /STANDARD C:\\Prog  /FIREWALL=1"},
      {"/param=abc def", 0, "<F>stage.exe ABC DEF"},
      // The option edge cases, as the installer receives them.
      {"/kxpath=C:\\P", 0, "<F>stage.exe /STANDARD"},
      {"/KXPATH=C:\\Prog /UPDTPATH=D:\\U", 0,
       "<F>stage.exe /STANDARD /KXPATH=C:\\Prog /UPDTPATH=D:\\U"},
      {"/FIREWALL=1 /KXPATH=C:\\Prog", 0, "<F>stage.exe /STANDARD C:\\Prog /FIREWALL=1"},
      {"/FIREWALL=yes", 0, "<F>stage.exe /STANDARD /FIREWALL=Y"},
      {"/FIREWALL=", 1, "<F>stage.exe /SILENT /FIREWALL="},
      {"/param=abc def /KXPATH=C:\\P /FIREWALL=1", 1,
       "<F>stage.exe ABC DEF /KXPATH=C:\\P /FIREWALL=1"},
      {"no options at all", 0, "<F>stage.exe /STANDARD"},
  };
  for (const Row &row : rows) {
    LaunchResult run = Launch(folder, row.frontEnd, row.silent);
    EXPECT_EQ(run.result, 1) << row.frontEnd;
    EXPECT_EQ(run.exitCode, 0u) << row.frontEnd;
    EXPECT_EQ(run.cmdline, row.installer) << row.frontEnd;
  }
}

TEST(LaunchInstaller, OnlySilentOneGivesSilent) {
  std::string folder = WorkFolderWithInstaller("silent");
  EXPECT_EQ(Launch(folder, "", 1).cmdline, "<F>stage.exe /SILENT");
  for (int silent : {0, 2, -1, 0xFF}) {
    EXPECT_EQ(Launch(folder, "", silent).cmdline, "<F>stage.exe /STANDARD") << silent;
  }
}

TEST(LaunchInstaller, InstallerRunsInOurCurrentFolderWithItsFilesBesideIt) {
  std::string folder = WorkFolderWithInstaller("cwd");
  WriteText(folder + "ARGSAVE.DAT", "/x");
  ASSERT_EQ(Launch(folder, "", 0).result, 1);
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  ASSERT_NE(std::string(cwd) + "\\", folder);
  EXPECT_EQ(ReportValue(folder + "stage_report.txt", "cwd"), cwd);
  std::vector<std::string> lines = ReadLines(folder + "stage_report.txt");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "file=ARGSAVE.DAT"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "file=stage.exe"), lines.end());
}

TEST(LaunchInstaller, EveryExitCodeIsHandedBackUnchanged) {
  std::string folder = WorkFolderWithInstaller("exit");
  struct {
    const char *control;
    DWORD expected;
  } cases[] = {{"0", 0},
               {"1", 1},
               {"3010", 3010},
               {"1602", 1602},
               {"0xFFFFFFFF", 0xFFFFFFFFu},
               {"0x80070005", 0x80070005u}};
  for (const auto &c : cases) {
    WriteText(folder + "stage_exit.txt", c.control);
    LaunchResult run = Launch(folder, "", 0);
    EXPECT_EQ(run.result, 1) << c.control;
    EXPECT_EQ(run.exitCode, c.expected) << c.control;
  }
}

// The installer runs to its end, but its exit code cannot be had: that is no exit code of 0.
TEST(LaunchInstaller, LostExitCodeIsReportedAndNoCodeHandedBack) {
  std::string folder = WorkFolderWithInstaller("lost");
  WriteText(folder + "stage_exit.txt", "0");
  kx::ExitCodeWaitFn real = kx::SetExitCodeWaitForTesting([](HANDLE process, DWORD *) {
    WaitForSingleObject(process, INFINITE);
    return false;
  });
  LaunchResult run = Launch(folder, "", 0);
  kx::SetExitCodeWaitForTesting(real);
  EXPECT_EQ(run.result, kx::kLaunchNoExitCode);
  EXPECT_EQ(run.exitCode, 0xDEADBEEFu) << "no code handed back";
  EXPECT_EQ(run.cmdline, "<F>stage.exe /STANDARD") << "the installer did run";
}

TEST(LaunchInstaller, MissingOrRefusedInstallerIsNotStartedAndLeavesEverythingAlone) {
  std::string folder = FreshFolder("launch\\missing");
  HWND dialog = CreateWindowExA(0, "STATIC", "launch_test missing", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(dialog, nullptr);
  kx::InstallerOptions opts{};
  DWORD exitCode = 0x12345678;
  EXPECT_EQ(kx::LaunchInnerInstaller(folder.c_str(), kx::SilentMode(), opts, dialog, &exitCode),
            kx::kLaunchNotStarted);
  // A stage.exe that the platform refuses to start: it is no program.
  WriteText(folder + "stage.exe", "not a program");
  EXPECT_EQ(kx::LaunchInnerInstaller(folder.c_str(), kx::SilentMode(), opts, dialog, &exitCode),
            kx::kLaunchNotStarted);
  EXPECT_EQ(exitCode, 0x12345678u);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "not hidden when nothing was started";
  EXPECT_TRUE(Exists(folder + "stage.exe"));
  EXPECT_FALSE(OwnMessageBoxShown()) << "no message shown";
  DestroyWindow(dialog);
  EXPECT_EQ(kx::LaunchInnerInstaller(nullptr, kx::SilentMode(), opts, nullptr, &exitCode),
            kx::kLaunchNotStarted);
}

TEST(LaunchInstaller, DialogIsHiddenWhileTheInstallerRuns) {
  std::string folder = WorkFolderWithInstaller("hide");
  HWND dialog = CreateWindowExA(0, "STATIC", "launch_test dialog", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                50, nullptr, nullptr, nullptr, nullptr);
  // A second window that stays: proves the installer's view of visible windows works.
  HWND witness = CreateWindowExA(0, "STATIC", "launch_test witness", WS_POPUP | WS_VISIBLE, 60, 0,
                                 50, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(dialog && witness);
  ASSERT_TRUE(IsWindowVisible(dialog));

  kx::InstallerOptions opts{};
  DWORD exitCode = 0;
  EXPECT_EQ(kx::LaunchInnerInstaller(folder.c_str(), kx::SilentMode(), opts, dialog, &exitCode), 1);
  std::vector<std::string> lines = ReadLines(folder + "stage_report.txt");
  auto seen = [&lines](const char *title) {
    for (const std::string &line : lines) {
      if (line.find("visible=") == 0 && line.find(title) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(seen("launch_test witness"));
  EXPECT_FALSE(seen("launch_test dialog"));
  EXPECT_FALSE(IsWindowVisible(dialog)) << "stays hidden until the dialog ends";
  EXPECT_TRUE(IsWindowVisible(witness));
  DestroyWindow(dialog);
  DestroyWindow(witness);
}

TEST(LaunchInstaller, BlankInTheFolderNeverStartsAProgramAtTheBlankCut) {
  // <base>\kx test\work\stage.exe is the installer; <base>\kx.exe is what the platform would
  // try first for the unquoted path.
  std::string base = FreshFolder("launch\\blank");
  std::string folder = FreshFolder("launch\\blank\\kx test\\work");
  ASSERT_TRUE(CopyDouble("stage.exe", folder + "stage.exe"));
  ASSERT_TRUE(CopyDouble("stage.exe", base + "kx.exe"));

  LaunchResult run = Launch(folder, "/KXPATH=C:\\Prog", 0);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.cmdline, "\"<F>stage.exe\" /STANDARD /KXPATH=C:\\Prog");
  EXPECT_TRUE(Exists(folder + "stage_report.txt"));
  EXPECT_FALSE(Exists(base + "kx_report.txt")) << "the decoy ran";

  // The decoy is a real danger here: the unquoted line without a program name starts it.
  std::string unquoted = folder + "stage.exe /STANDARD";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &unquoted[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi));
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  EXPECT_TRUE(Exists(base + "kx_report.txt")) << "fixture: the decoy should have been reachable";
}

TEST(LaunchInstaller, LinesThatDoNotFitAreRefusedAndNothingStarts) {
  std::string folder = WorkFolderWithInstaller("long");
  // Exactly 259 characters still run.
  std::size_t room = 259 - folder.size() - std::string("stage.exe /STANDARD ").size();
  std::string path = "/KXPATH=" + std::string(room - 8, 'p');
  LaunchResult run = Launch(folder, path.c_str(), 0);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.cmdline, "<F>stage.exe /STANDARD " + path);

  path += "p";
  run = Launch(folder, path.c_str(), 0);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.exitCode, 0xDEADBEEFu);
  EXPECT_FALSE(Exists(folder + "stage_report.txt"));
}

}  // namespace
