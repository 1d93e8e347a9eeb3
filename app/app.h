// The application object: start-up, command-line values and the single-instance guard.
#pragma once
#include <windows.h>

#include "app/failure.h"
#include "base/options.h"

class CInstallerApp {
 public:
  CInstallerApp();
  ~CInstallerApp();

  // Runs the whole start-up and ends the process; never returns.
  [[noreturn]] void InitInstance();

  // Fills the three option members from m_lpCmdLine; true when the line was not empty.
  BOOL ParseCommandLine();

  // Single-instance guard: true only when the named event already existed.
  BOOL IsAlreadyRunning();

  // The command line after the program path and the blanks that follow it.
  const char *m_lpCmdLine = "";

  char m_szProductPath[260];
  char m_szParam[260];
  HANDLE m_hRunningEvent = nullptr;
  char m_szFirewall[kx::kFirewallCap];
};

// The one application object.
CInstallerApp &TheApp();

// The process exit code: 0 at start, set only by the inner installer's launch.
extern DWORD g_dwProcessExitCode;

// Start-up helpers (exposed for the tests).
BOOL HasEnoughFreeSpace(const char *tempPath, int requiredMB);

// Runs the progress dialog modally over the work folder (workDir ends in a backslash). The
// failure that ended the run early, or nullptr (a cancel, or the inner installer has run).
const kx::Failure *RunProgressDialog(const char *workDir, int silent);

// Shows a fatal message box (no owner, caption "Installer", error icon, OK) unless quiet or
// there is no text, and ends the process with the exit code.
[[noreturn]] void FailWithMessage(const char *text, UINT exitCode, bool quiet = false);
[[noreturn]] void FailWithMessage(const kx::Failure &failure, bool quiet);

// Command-line text after the program path: what m_lpCmdLine holds.
const char *SkipProgramPath(const char *fullCommandLine);
