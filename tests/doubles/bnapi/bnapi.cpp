// Test double of the self-protection component's interface library, bnapi.dll, which the
// loader double hands out. Its answers come from the control file next to it, and the calls
// that change the machine change that file; every call is logged. See ../bnstub/bn_state.cpp.
#include <windows.h>

#include <string>
#include <type_traits>

#include "bn_state.h"
#include "env/bastion.h"

extern "C" {
BOOL __stdcall BN_IsSystemRunning(DWORD processId, BYTE *running, int *errorOut);
BOOL __stdcall BN_InstallSystem(DWORD processId, int *errorOut);
BOOL __stdcall BN_StartSystem(DWORD processId, int *errorOut);
BOOL __stdcall BN_UninstallSystem(DWORD processId, int *errorOut);
BOOL __stdcall BN_ProtectFolder(DWORD processId, const wchar_t *folder, int *errorOut);
BOOL __stdcall BN_RegisterInstaller(DWORD processId, const wchar_t *imagePath, int *errorOut);
BOOL __stdcall BN_ReleaseFolder(DWORD processId, const wchar_t *folder, int *errorOut);
}

// The double and the installer must agree on every signature.
static_assert(std::is_same<decltype(&BN_IsSystemRunning), BN_IsSystemRunningFn>::value);
static_assert(std::is_same<decltype(&BN_InstallSystem), BN_InstallSystemFn>::value);
static_assert(std::is_same<decltype(&BN_StartSystem), BN_StartSystemFn>::value);
static_assert(std::is_same<decltype(&BN_UninstallSystem), BN_UninstallSystemFn>::value);
static_assert(std::is_same<decltype(&BN_ProtectFolder), BN_ProtectFolderFn>::value);
static_assert(std::is_same<decltype(&BN_RegisterInstaller), BN_RegisterInstallerFn>::value);
static_assert(std::is_same<decltype(&BN_ReleaseFolder), BN_ReleaseFolderFn>::value);

namespace {

// Logs the call and answers it; true when it succeeds.
bool Answer(const bn::Control &c, const char *call, DWORD processId, const std::string &more,
            int *errorOut, const std::string &extra = "") {
  bool fails = bn::Fails(c, call);
  if (errorOut) *errorOut = fails ? c.error : 0;
  std::string line =
      std::string(call) + " " + std::to_string(processId) + more + " -> " + (fails ? "0" : "1");
  if (fails) line += " error=" + std::to_string(c.error);
  if (!extra.empty()) line += " " + extra;
  bn::Log(c, line);
  return !fails;
}

}  // namespace

BOOL __stdcall BN_IsSystemRunning(DWORD processId, BYTE *running, int *errorOut) {
  bn::Control c = bn::ReadControl();
  bool fails = bn::Fails(c, "BN_IsSystemRunning");
  BYTE answer = c.running ? 1 : 0;
  if (running && !fails) *running = answer;
  return Answer(c, "BN_IsSystemRunning", processId, "", errorOut,
                fails ? "" : std::string("running=") + (answer ? "1" : "0"));
}

BOOL __stdcall BN_InstallSystem(DWORD processId, int *errorOut) {
  bn::Control c = bn::ReadControl();
  if (!Answer(c, "BN_InstallSystem", processId, "", errorOut)) return FALSE;
  bn::SetControl("installed", true);
  return TRUE;
}

BOOL __stdcall BN_StartSystem(DWORD processId, int *errorOut) {
  bn::Control c = bn::ReadControl();
  if (!Answer(c, "BN_StartSystem", processId, "", errorOut)) return FALSE;
  bn::SetControl("running", true);
  return TRUE;
}

BOOL __stdcall BN_UninstallSystem(DWORD processId, int *errorOut) {
  bn::Control c = bn::ReadControl();
  if (!Answer(c, "BN_UninstallSystem", processId, "", errorOut)) return FALSE;
  bn::SetControl("installed", false);
  return TRUE;
}

BOOL __stdcall BN_ProtectFolder(DWORD processId, const wchar_t *folder, int *errorOut) {
  bn::Control c = bn::ReadControl();
  return Answer(c, "BN_ProtectFolder", processId, " " + bn::Narrow(folder), errorOut);
}

BOOL __stdcall BN_RegisterInstaller(DWORD processId, const wchar_t *imagePath, int *errorOut) {
  bn::Control c = bn::ReadControl();
  return Answer(c, "BN_RegisterInstaller", processId, " " + bn::Narrow(imagePath), errorOut);
}

BOOL __stdcall BN_ReleaseFolder(DWORD processId, const wchar_t *folder, int *errorOut) {
  bn::Control c = bn::ReadControl();
  return Answer(c, "BN_ReleaseFolder", processId, " " + bn::Narrow(folder), errorOut);
}
