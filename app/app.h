// The application object: start-up, command-line values and the single-instance guard.
#pragma once
#include <windows.h>

#include <optional>

#include "base/options.h"
#include "base/run_outcome.h"
#include "base/stamp.h"
#include "base/text.h"

class CInstallerApp {
 public:
  CInstallerApp() = default;
  ~CInstallerApp();

  // Runs the whole start-up and ends the process; never returns.
  [[noreturn]] void InitInstance();

  // Fills m_options from m_lpCmdLine; true when the line was not empty.
  BOOL ParseCommandLine();

  // Single-instance guard: true only when the named event already existed.
  BOOL IsAlreadyRunning();

  // The command line after the program path and the blanks that follow it.
  const char *m_lpCmdLine = "";

  // The values of /KXPATH=, /PARAM= and /FIREWALL=, handed on to the inner installer.
  kx::InstallerOptions m_options = {};
  HANDLE m_hRunningEvent = nullptr;

 private:
  // Start-up up to the modal run's end; *silent learns the stamp's silent mode once known.
  kx::RunOutcome Run(kx::SilentMode *silent);
  // From the guard to the payload copied into workDir; the failure that stops it, if any.
  std::optional<kx::Fatal> PreparePayload(char (&workDir)[kx::kPathCap], kx::SilentMode *silent);
};

// The one application object.
CInstallerApp &TheApp();

// Start-up helpers (exposed for the tests).
BOOL HasEnoughFreeSpace(const char *tempPath, int requiredMB);

// The one place where the process ends: a failure shows its message box (no owner, caption
// "Installer", error icon, OK) unless it has none or the silent mode silences it, and ends
// the process with its exit code; the inner installer's exit code is passed on unchanged; a
// cancel ends with 0.
[[noreturn]] void EndRun(const kx::RunOutcome &outcome, const kx::SilentMode &silent);

// Command-line text after the program path: what m_lpCmdLine holds.
const char *SkipProgramPath(const char *fullCommandLine);
