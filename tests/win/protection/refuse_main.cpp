// Test helper: runs the self-protection set-up once, as the extraction sequence does, and
// ends a refusal as start-up does, so a test can watch it. Usage: protection_refuse WORKDIR
// SILENT [unrestricted]. Ends with 100 + the set-up's result unless it refused. With
// "unrestricted" the process keeps the default DLL search, so only the loader's own flags
// stand between it and a library in the current folder or on PATH.
#include <windows.h>

#include <cstdlib>

#include "app/app.h"
#include "env/protection.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // As the installer itself does at start: only the system folder for implicit loads.
  if (__argc < 3) return 2;
  if (__argc < 4 || lstrcmpA(__argv[3], "unrestricted") != 0)
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  int error = 0;
  kx::SilentMode silent = kx::DecodeSilent(static_cast<signed char>(std::atoi(__argv[2])));
  SetUpResult result = SetUpProtection(__argv[1], silent.showNoMessages, &error);
  if (result == kSetUpRefused)
    EndRun(kx::RunOutcome::Failed(kx::Fatal::kInstallationRefused), silent);
  return 100 + result;
}
