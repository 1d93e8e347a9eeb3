// Drives the progress dialog of another process: finds it, reads its controls and its bar,
// presses its button and sends it keys and requests.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kxtest {

struct ControlInfo {
  int id;
  std::string className;
  std::string text;
  bool visible;
};

class ChildProcess {
 public:
  // Starts the command line; false when it cannot be started.
  bool Start(const std::string &commandLine);
  ~ChildProcess();
  bool Running() const;
  // Waits for the end (up to timeoutMs); the full 32-bit exit code, or -1 on timeout.
  long long Wait(DWORD timeoutMs);
  DWORD pid() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_ = {};
};

// The dialog titled "Unpacking ...." owned by the process, or nullptr.
HWND FindUnpackDialog(DWORD pid);
// Polls the condition every few milliseconds until it holds or the time is up.
bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs);

std::string WindowText(HWND hwnd);
std::vector<ControlInfo> Controls(HWND dialog);

int BarLow(HWND dialog);
int BarHigh(HWND dialog);
int BarPosition(HWND dialog);

// Clicks the Cancel button (control 2), as the mouse would.
void PressCancel(HWND dialog);
void PostKey(HWND target, UINT virtualKey);

}  // namespace kxtest
