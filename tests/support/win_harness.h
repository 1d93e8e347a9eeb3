// Test harness for Windows tests under Wine: starting programs with their own TEMP, reading
// full exit codes, and finding, reading and dismissing the real message boxes they show.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/wide_folders.h"

namespace kxtest {

// "Z:\..." for a Unix path (Wine maps the Unix root to drive Z:).
std::string WinePath(const std::string &unixPath);
// The tree's scratch and fixture folder (env KX_TEST_DATA) as a Windows path, created if needed.
std::string TestDataDir();
// A fresh, empty folder under the test data folder; ends without a backslash.
std::string FreshDir(const std::string &name);

bool WriteFileBytes(const std::string &path, const std::string &bytes);
bool ReadFileBytes(const std::string &path, std::string *bytes);
bool Exists(const std::string &path);
bool IsDirectory(const std::string &path);

struct Child {
  HANDLE process = nullptr;
  DWORD pid = 0;
  ~Child();
};

// Starts exe with the command line "exe" args. env holds variables to set or replace (TEMP
// and TMP, for one), their values in UTF-8; cwd empty means the test's own.
bool Start(const std::string &exe, const std::string &args,
           const std::map<std::string, std::string> &env, const std::string &cwd, Child *out);
// Waits for the child; returns its full exit code, or STILL_ACTIVE on time-out.
DWORD WaitExit(Child &child, DWORD timeoutMs);
// Ends a child that is still running (test clean-up).
void Kill(Child &child);

// Top-level windows that belong to a process.
std::vector<HWND> WindowsOf(DWORD pid);
bool AnyVisibleWindow(DWORD pid);
// Waits for a top-level window of the process with that class and title (either may be
// null to match any); null on time-out.
HWND WaitForWindow(DWORD pid, const char *className, const char *title, DWORD timeoutMs);

struct MessageBoxInfo {
  std::string caption;
  std::string text;
  bool errorIcon = false;
  std::vector<std::string> buttons;
};
// Waits for a message box of the process, reads it and presses OK. False on time-out.
bool ReadAndDismissMessageBox(Child &child, MessageBoxInfo *info, DWORD timeoutMs);

// Runs the program to its end, dismissing every message box it shows on the way. Returns the
// exit code (STILL_ACTIVE on time-out or when it cannot start) and the boxes seen. onPoll, when
// given, is called with the running child at every poll (a few milliseconds apart).
DWORD RunDismissingBoxes(const std::string &exe, const std::string &args,
                         const std::map<std::string, std::string> &env,
                         std::vector<MessageBoxInfo> *boxes, DWORD timeoutMs = 30000,
                         const std::function<void(Child &)> &onPoll = {});

}  // namespace kxtest
