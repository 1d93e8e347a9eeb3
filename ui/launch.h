// Hand-over to the inner installer: its start, the wait for its end, and the cleaner's copy.
// Free functions, so that they work without a dialog object; CUnpackDialog wraps them.
#pragma once
#include <windows.h>

#include "base/options.h"
#include "base/stamp.h"

namespace kx {

// Results of a launch.
constexpr int kLaunchNotStarted = 0;  // the command line does not fit, or the start failed
constexpr int kLaunchFinished = 1;    // the installer ran and its exit code was obtained
constexpr int kLaunchNoExitCode = 2;  // the installer started; the wait or the query failed

// Starts folder + "stage.exe" (folder ends in a backslash) with the command line built from
// the silent mode and opts, hides dialogToHide (when given) once the installer runs, waits for the
// installer's end and hands back its exit code (left alone unless kLaunchFinished).
int LaunchInnerInstaller(const char *folder, const SilentMode &silent, const InstallerOptions &opts,
                         HWND dialogToHide, DWORD *exitCode);

// Waits for the started installer's end and reads its exit code; false when either fails.
// Tests put one in place that fails (a real failure cannot be made: the handle the start hands
// back carries every right); it returns the previous one, and nullptr restores the real one.
typedef bool (*ExitCodeWaitFn)(HANDLE process, DWORD *code);
ExitCodeWaitFn SetExitCodeWaitForTesting(ExitCodeWaitFn wait);

// Hides the window; TRUE.
BOOL HideDialogWindow(HWND window);

// Copies folder + "KXDELTMP.EXE" into the parent of folder (folder ends in a backslash),
// replacing a copy that is there. 1 when the copy succeeded; 0 when folder is missing, holds no
// backslash before its last character, or the copy failed.
int CopyCleanerToParent(const char *folder);

}  // namespace kx
