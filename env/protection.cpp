// Hand-off to the product's self-protection component: set-up before the inner installer's
// files are unpacked, release when a run is cancelled.
#include "env/protection.h"

#include <windows.h>

#include "base/ansi_path.h"
#include "base/text.h"
#include "env/bastion.h"
#include "env/folder_tree.h"
#include "env/probe.h"

namespace {

constexpr char kRefusalText[] =
    "Installation can not proceed on this system due to one\r\nof the following "
    "reasons:\r\n\r\n - Installation was terminated before completion on this system.\r\n - "
    "System has not been restarted after un-installation.\r\n\r\nRestart is required to "
    "proceed with the installation.";

// The calls of each library, each as its export name (which is also its type's name without
// "Fn") and the member that holds it once found.
#define KX_STUB_CALLS(CALL)                         \
  CALL(LoadBastionInterfaceFromPath, loadInterface) \
  CALL(UnLoadBastionInterface, unloadInterface)     \
  CALL(IsBastionInstalled, isInstalled)             \
  CALL(IsBastionSupportedOS, isSupportedOS)
#define KX_API_CALLS(CALL)                      \
  CALL(BN_IsSystemRunning, isSystemRunning)     \
  CALL(BN_InstallSystem, installSystem)         \
  CALL(BN_StartSystem, startSystem)             \
  CALL(BN_UninstallSystem, uninstallSystem)     \
  CALL(BN_ProtectFolder, protectFolder)         \
  CALL(BN_RegisterInstaller, registerInstaller) \
  CALL(BN_ReleaseFolder, releaseFolder)

#define KX_DECLARE_CALL(name, member) name##Fn member = nullptr;

// The loader library and, once loaded, the interface library with its calls.
struct Bastion {
  HMODULE stub = nullptr;
  KX_STUB_CALLS(KX_DECLARE_CALL)
  HMODULE api = nullptr;
  KX_API_CALLS(KX_DECLARE_CALL)

  wchar_t folder[kx::kPathCap] = {};  // the work folder, UTF-16, no trailing backslash
  DWORD processId = GetCurrentProcessId();
};

template <typename Fn>
bool Resolve(HMODULE module, const char *name, Fn *fn) {
  *fn = reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name)));
  return *fn != nullptr;
}

// Finds the calls in their listed order; false at the first one missing.
#define KX_RESOLVE_CALL(name, member) &&Resolve(module, #name, &b->member)
bool ResolveStubCalls(HMODULE module, Bastion *b) { return true KX_STUB_CALLS(KX_RESOLVE_CALL); }
bool ResolveApiCalls(HMODULE module, Bastion *b) { return true KX_API_CALLS(KX_RESOLVE_CALL); }

int LastError() { return static_cast<int>(GetLastError()); }

// The work folder as the component wants it: UTF-16 and without the trailing backslash.
bool ToComponentFolder(const char *workDir, wchar_t *out, int cap) {
  char folder[kx::kPathCap];
  if (!kx::CopyText(folder, workDir)) return false;
  if (EndsWithBackslash(folder)) folder[strlen(folder) - 1] = '\0';
  return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, folder, -1, out, cap) > 0;
}

HMODULE LoadWithSearchFlags(const char *path) {
  return LoadLibraryExA(path, nullptr,
                        LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

StubLoaderFn g_loadWithSearchFlags = LoadWithSearchFlags;

// Loads bnstub.dll by its full path in the work folder. Its dependencies are looked for next
// to it and in the system folder only, never in the current folder or along PATH.
bool LoadStub(const char *workDir, Bastion *b, int *error) {
  char path[kx::kPathCap];
  if (!Joined(JoinUnder(path, workDir, BASTION_STUB_DLL)) ||
      !ToComponentFolder(workDir, b->folder, kx::kPathCap)) {
    *error = ERROR_BAD_PATHNAME;
    return false;
  }
  b->stub = g_loadWithSearchFlags(path);
  // Systems without the search flags refuse them outright: the full path with the altered
  // search order still looks for the dependencies beside the library first.
  if (!b->stub && GetLastError() == ERROR_INVALID_PARAMETER) {
    b->stub = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  if (!b->stub) {
    *error = LastError();
    return false;
  }
  if (ResolveStubCalls(b->stub, b)) return true;
  *error = LastError();
  FreeLibrary(b->stub);
  b->stub = nullptr;
  return false;
}

// Releases the interface library (when loaded) and the loader.
void Unload(Bastion *b, int *error) {
  if (b->api) {
    int unloadError = 0;
    if (!b->unloadInterface(b->api, &unloadError)) *error = unloadError;
    b->api = nullptr;
  }
  if (b->stub) {
    FreeLibrary(b->stub);
    b->stub = nullptr;
  }
}

// Asks the loader for the interface library and finds its calls; on failure everything that
// was loaded is released again.
bool LoadInterface(Bastion *b, int *error) {
  int loadError = 0;
  HMODULE api = nullptr;
  if (!b->loadInterface(b->folder, &api, &loadError) || !api) {
    *error = loadError ? loadError : ERROR_MOD_NOT_FOUND;
    Unload(b, error);
    return false;
  }
  b->api = api;
  if (ResolveApiCalls(api, b)) return true;
  *error = LastError();
  Unload(b, error);
  return false;
}

// Runs one component call; its failure is recorded in the error slot.
template <typename Call>
bool Record(int *error, Call call) {
  int callError = 0;
  bool ok = call(&callError) != FALSE;
  if (!ok) *error = callError;
  return ok;
}

// A protection system that still runs while the product is not installed is the remnant of an
// interrupted installation or of an uninstallation without restart: installing over it is
// refused and the machine left as clean as possible; the caller ends the run.
void Refuse(const char *workDir, bool showNoMessages, Bastion *b, int *error) {
  if (!showNoMessages) MessageBoxA(nullptr, kRefusalText, "Installer", MB_OK | MB_ICONERROR);
  if (b->isInstalled()) {
    Record(error, [b](int *e) { return b->uninstallSystem(b->processId, e); });
  }
  Unload(b, error);
  RemoveFolderTree(workDir);
}

}  // namespace

StubLoaderFn SetStubLoaderForTesting(StubLoaderFn loader) {
  StubLoaderFn previous = g_loadWithSearchFlags;
  g_loadWithSearchFlags = loader ? loader : LoadWithSearchFlags;
  return previous;
}

SetUpResult SetUpProtection(const char *workDir, bool showNoMessages, int *errorOut) {
  int ignored = 0;
  int *error = errorOut ? errorOut : &ignored;
  *error = 0;

  Bastion b;
  if (!LoadStub(workDir, &b, error) || !LoadInterface(&b, error)) return kSetUpFailed;

  BYTE running = 0;
  if (!Record(error,
              [&b, &running](int *e) { return b.isSystemRunning(b.processId, &running, e); })) {
    running = 0;
  }
  if (running == 1 && !IsProductInstalled()) {
    Refuse(workDir, showNoMessages, &b, error);
    return kSetUpRefused;
  }

  if (b.isSupportedOS() && !b.isInstalled()) {
    if (!Record(error, [&b](int *e) { return b.installSystem(b.processId, e); })) {
      Unload(&b, error);
      return kSetUpFailed;
    }
    Record(error, [&b](int *e) { return b.startSystem(b.processId, e); });
  }

  if (b.isInstalled()) {
    wchar_t image[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, image, MAX_PATH);
    Record(error, [&b](int *e) { return b.protectFolder(b.processId, b.folder, e); });
    Record(error, [&b, &image](int *e) { return b.registerInstaller(b.processId, image, e); });
  }

  Unload(&b, error);
  return kSetUpDone;
}

bool ReleaseProtection(const char *workDir, int *errorOut) {
  int ignored = 0;
  int *error = errorOut ? errorOut : &ignored;
  *error = 0;

  Bastion b;
  if (!LoadStub(workDir, &b, error)) return false;
  if (!b.isInstalled()) {
    Unload(&b, error);
    return false;
  }
  if (!LoadInterface(&b, error)) return false;

  Record(error, [&b](int *e) { return b.releaseFolder(b.processId, b.folder, e); });
  if (!IsProductInstalled()) {
    Record(error, [&b](int *e) { return b.uninstallSystem(b.processId, e); });
  }
  Unload(&b, error);
  return true;
}
