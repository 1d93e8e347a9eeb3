// Test double of the self-protection component's loader, bnstub.dll. It loads the interface
// library bnapi.dll from the folder it is given and answers the two questions as the control
// file next to it says; every call is logged. Control file and log: see bn_state.cpp.
#include <windows.h>

#include <string>
#include <type_traits>

#include "bn_state.h"
#include "env/bastion.h"

extern "C" {
BOOL __stdcall LoadBastionInterfaceFromPath(const wchar_t *folder, HMODULE *handleOut,
                                            int *errorOut);
BOOL __stdcall UnLoadBastionInterface(HMODULE handle, int *errorOut);
BOOL __stdcall IsBastionInstalled();
BOOL __stdcall IsBastionSupportedOS();
}

// The double and the installer must agree on every signature.
static_assert(
    std::is_same<decltype(&LoadBastionInterfaceFromPath), LoadBastionInterfaceFromPathFn>::value);
static_assert(std::is_same<decltype(&UnLoadBastionInterface), UnLoadBastionInterfaceFn>::value);
static_assert(std::is_same<decltype(&IsBastionInstalled), IsBastionInstalledFn>::value);
static_assert(std::is_same<decltype(&IsBastionSupportedOS), IsBastionSupportedOSFn>::value);

namespace {

BOOL Finish(const bn::Control &c, const char *call, const std::string &args, int *errorOut,
            const std::string &extra = "") {
  bool fails = bn::Fails(c, call);
  if (errorOut) *errorOut = fails ? c.error : 0;
  std::string line = std::string(call) + args + " -> " + (fails ? "0" : "1");
  if (fails) line += " error=" + std::to_string(c.error);
  if (!extra.empty()) line += " " + extra;
  bn::Log(c, line);
  return fails ? FALSE : TRUE;
}

}  // namespace

BOOL __stdcall LoadBastionInterfaceFromPath(const wchar_t *folder, HMODULE *handleOut,
                                            int *errorOut) {
  bn::Control c = bn::ReadControl();
  std::string args = " " + bn::Narrow(folder);
  if (bn::Fails(c, "LoadBastionInterfaceFromPath") || !folder || !handleOut) {
    return Finish(c, "LoadBastionInterfaceFromPath", args, errorOut);
  }
  std::wstring path = std::wstring(folder) + L"\\bnapi.dll";
  HMODULE api = LoadLibraryExW(path.c_str(), nullptr,
                               LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!api) {
    c.fail = ",LoadBastionInterfaceFromPath,";
    c.error = static_cast<int>(GetLastError());
    return Finish(c, "LoadBastionInterfaceFromPath", args, errorOut);
  }
  *handleOut = api;
  return Finish(c, "LoadBastionInterfaceFromPath", args, errorOut, bn::ModuleName(api));
}

BOOL __stdcall UnLoadBastionInterface(HMODULE handle, int *errorOut) {
  bn::Control c = bn::ReadControl();
  std::string args = " " + bn::ModuleName(handle);
  BOOL ok = Finish(c, "UnLoadBastionInterface", args, errorOut);
  if (handle) FreeLibrary(handle);
  return ok;
}

BOOL __stdcall IsBastionInstalled() {
  bn::Control c = bn::ReadControl();
  bn::Log(c, std::string("IsBastionInstalled -> ") + (c.installed ? "1" : "0"));
  return c.installed ? TRUE : FALSE;
}

BOOL __stdcall IsBastionSupportedOS() {
  bn::Control c = bn::ReadControl();
  bn::Log(c, std::string("IsBastionSupportedOS -> ") + (c.supported ? "1" : "0"));
  return c.supported ? TRUE : FALSE;
}
