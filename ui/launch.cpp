// Hand-over to the inner installer: start it, hide the dialog, wait for its end and take over
// its exit code; place the cleaner next to the work folder.
#include "ui/launch.h"

#include <cstddef>
#include <cstring>

#include "base/ansi_path.h"
#include "base/text.h"
#include "ui/installer_cmdline.h"
#include "ui/unpack_dialog.h"

namespace kx {

namespace {

constexpr char kCleanerFileName[] = "KXDELTMP.EXE";

// The installer is started with no window settings of ours: the record's size and nothing else.
constexpr std::size_t kStartupRecordSize = sizeof(void *) == 4 ? 68 : 104;
static_assert(sizeof(STARTUPINFOA) == kStartupRecordSize,
              "the start-up record: 68 bytes in a 32-bit process, 104 in a 64-bit one");

// No time limit: the installer runs as long as the user takes.
bool WaitForExitCode(HANDLE process, DWORD *code) {
  return WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
         GetExitCodeProcess(process, code) != FALSE;
}

ExitCodeWaitFn g_waitForExitCode = WaitForExitCode;

}  // namespace

int LaunchInnerInstaller(const char *folder, const SilentMode &silent, const InstallerOptions &opts,
                         HWND dialogToHide, DWORD *exitCode) {
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  std::memset(&process, 0, sizeof process);

  // The program is named by its full path, so the platform never has to guess where a path
  // with blanks ends: this process runs elevated, and the blank-separated beginnings of the
  // path (C:\Users\Test.exe for C:\Users\Test User\...) are places any user may write to.
  char program[kPathCap] = {};
  char commandLine[kPathCap] = {};
  if (!BuildInstallerPath(folder, program, sizeof program) ||
      !BuildInstallerCommandLine(folder, silent, opts, commandLine, sizeof commandLine)) {
    return kLaunchNotStarted;
  }

  // Our own environment and current folder: the installer finds its files through its own
  // path, not through the working folder.
  if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return kLaunchNotStarted;
  }
  if (dialogToHide) HideDialogWindow(dialogToHide);

  int result = kLaunchNoExitCode;
  DWORD code = 0;
  if (g_waitForExitCode(process.hProcess, &code)) {
    if (exitCode) *exitCode = code;
    result = kLaunchFinished;
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return result;
}

ExitCodeWaitFn SetExitCodeWaitForTesting(ExitCodeWaitFn wait) {
  ExitCodeWaitFn previous = g_waitForExitCode;
  g_waitForExitCode = wait ? wait : WaitForExitCode;
  return previous;
}

BOOL HideDialogWindow(HWND window) {
  ShowWindow(window, SW_HIDE);
  return TRUE;
}

// Fresh names tried for the cleaner's copy before giving up: each is ours unless planted.
constexpr unsigned kFreshNameAttempts = 16;

int CopyCleanerToParent(const char *folder) {
  char source[kPathCap] = {};
  if (!Joined(JoinUnder(source, folder, kCleanerFileName))) return 0;
  char parent[kPathCap] = {};
  char target[kPathCap] = {};
  if (!Joined(ParentFolder(parent, folder)) || !Joined(JoinUnder(target, parent, kCleanerFileName)))
    return 0;

  // The temporary folder is writable by every process of the user, and we run elevated: a
  // copy written over whatever is there would follow a link planted under that name. So the
  // copy is made as a new file under a fresh name beside the target, then moved over the
  // target, which replaces a planted link rather than following it. Without a source nothing
  // is touched: an existing cleaner is never removed for nothing.
  if (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES) return 0;
  char fresh[kPathCap] = {};
  bool copied = false;
  for (unsigned attempt = 0; attempt < kFreshNameAttempts && !copied; ++attempt) {
    char suffix[32];
    wsprintfA(suffix, ".%lu.%u.tmp", GetCurrentProcessId(), attempt);
    if (!JoinTexts(fresh, sizeof fresh, target, suffix)) return 0;
    copied = CopyFileA(source, fresh, TRUE) != 0;  // fails on any name already there
  }
  if (!copied) return 0;
  if (MoveFileExA(fresh, target, MOVEFILE_REPLACE_EXISTING)) return 1;
  DeleteFileA(fresh);
  return 0;
}

}  // namespace kx

int CUnpackDialog::LaunchInstaller(const char *folder, DWORD *exitCode) {
  return kx::LaunchInnerInstaller(folder, m_silent, m_options, m_hWnd, exitCode);
}

BOOL CUnpackDialog::HideDialog() { return kx::HideDialogWindow(m_hWnd); }

int CUnpackDialog::CopyCleaner(const char *folder) { return kx::CopyCleanerToParent(folder); }
