// The interface of the product's self-protection component, as the installer reaches it.
//
// The component arrives in the payload. Its loader, bnstub.dll, lies in the work folder and is
// loaded from there by full path. The loader hands out a second library, the interface library,
// whose BN_ calls do the work. Every export is __stdcall and exported under its plain name
// (no @n decoration), so the installer finds it with GetProcAddress by the names below.
// Every call returns nonzero on success; calls with an error slot put 0 there on success and
// the component's own code on failure.
#pragma once
#include <windows.h>

// The loader library's file name inside the work folder.
#define BASTION_STUB_DLL "bnstub.dll"

// --- Exports of bnstub.dll ---------------------------------------------------------------------

// Loads the interface library from folder (the work folder, UTF-16, no trailing backslash) and
// hands back its module handle, which exports the BN_ calls below.
typedef BOOL(__stdcall *LoadBastionInterfaceFromPathFn)(const wchar_t *folder, HMODULE *handleOut,
                                                        int *errorOut);
// Releases the interface library handed out by LoadBastionInterfaceFromPath.
typedef BOOL(__stdcall *UnLoadBastionInterfaceFn)(HMODULE handle, int *errorOut);
// Nonzero when the component's protection system is installed on this machine.
typedef BOOL(__stdcall *IsBastionInstalledFn)();
// Nonzero when the protection system can be installed on this operating system.
typedef BOOL(__stdcall *IsBastionSupportedOSFn)();

// --- Exports of the interface library ---------------------------------------------------------
// processId is always the calling installer's own process id.

// Puts 1 into *running when the protection system runs, else 0.
typedef BOOL(__stdcall *BN_IsSystemRunningFn)(DWORD processId, BYTE *running, int *errorOut);
typedef BOOL(__stdcall *BN_InstallSystemFn)(DWORD processId, int *errorOut);
typedef BOOL(__stdcall *BN_StartSystemFn)(DWORD processId, int *errorOut);
typedef BOOL(__stdcall *BN_UninstallSystemFn)(DWORD processId, int *errorOut);
// Places folder (UTF-16, no trailing backslash) and everything below it under protection, so
// nothing but the registered installer may change it while the installation runs.
typedef BOOL(__stdcall *BN_ProtectFolderFn)(DWORD processId, const wchar_t *folder, int *errorOut);
// Registers the installer (its process id and the full path of its image) as the one process
// allowed to work in the protected folder.
typedef BOOL(__stdcall *BN_RegisterInstallerFn)(DWORD processId, const wchar_t *imagePath,
                                                int *errorOut);
// Lifts the protection of folder again (UTF-16, no trailing backslash).
typedef BOOL(__stdcall *BN_ReleaseFolderFn)(DWORD processId, const wchar_t *folder, int *errorOut);
