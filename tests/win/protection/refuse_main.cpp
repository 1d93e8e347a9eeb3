// Test helper: runs the self-protection set-up once, as the extraction sequence does, so a
// test can watch a refusal end the process. Usage: protection_refuse WORKDIR SILENT
// Ends with 100 + the set-up's result when the set-up returns.
#include <windows.h>

#include <cstdlib>

#include "env/protection.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // As the installer itself does at start: only the system folder for implicit loads.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (__argc < 3) return 2;
  int error = 0;
  bool ok = SetUpProtection(__argv[1], static_cast<unsigned char>(std::atoi(__argv[2])), &error);
  return 100 + (ok ? 1 : 0);
}
