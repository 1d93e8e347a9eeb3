// Entry point of the installer front end.
#include <windows.h>

#include "app/app.h"

namespace {

// A downloaded installer is often started from a folder full of other downloads: never let
// the loader take a DLL from there. Only the system folder is searched from now on.
void RestrictDllSearchToSystemFolder() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void *>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    SetDllDirectoryA("");  // older systems: at least drop the current folder
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearchToSystemFolder();
  CInstallerApp &app = TheApp();
  app.m_lpCmdLine = SkipProgramPath(GetCommandLineA());
  app.InitInstance();
}
