#include "support/dialog_driver.h"

#include <commctrl.h>

namespace kxtest {

bool ChildProcess::Start(const std::string &commandLine) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  std::string line = commandLine;
  return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &info_) != 0;
}

ChildProcess::~ChildProcess() {
  if (info_.hProcess) {
    if (Running()) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

bool ChildProcess::Running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

long long ChildProcess::Wait(DWORD timeoutMs) {
  if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

namespace {

struct FindState {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam) {
  auto *state = reinterpret_cast<FindState *>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == state->pid && WindowText(hwnd) == "Unpacking ....") {
    state->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK ControlProc(HWND hwnd, LPARAM lParam) {
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  reinterpret_cast<std::vector<ControlInfo> *>(lParam)->push_back(
      {GetDlgCtrlID(hwnd), cls, WindowText(hwnd), IsWindowVisible(hwnd) != 0});
  return TRUE;
}

}  // namespace

HWND FindUnpackDialog(DWORD pid) {
  FindState state = {pid, nullptr};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(10);
  }
}

std::string WindowText(HWND hwnd) {
  char text[256] = {};
  // Cross-process: WM_GETTEXT is marshalled; GetWindowText would not ask a control.
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

std::vector<ControlInfo> Controls(HWND dialog) {
  std::vector<ControlInfo> controls;
  EnumChildWindows(dialog, ControlProc, reinterpret_cast<LPARAM>(&controls));
  return controls;
}

int BarLow(HWND dialog) {
  return int(SendMessageA(GetDlgItem(dialog, 1001), PBM_GETRANGE, TRUE, 0));
}
int BarHigh(HWND dialog) {
  return int(SendMessageA(GetDlgItem(dialog, 1001), PBM_GETRANGE, FALSE, 0));
}
int BarPosition(HWND dialog) {
  return int(SendMessageA(GetDlgItem(dialog, 1001), PBM_GETPOS, 0, 0));
}

void PressCancel(HWND dialog) { PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }

void PostKey(HWND target, UINT virtualKey) {
  UINT scan = MapVirtualKeyA(virtualKey, 0);
  PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (LPARAM(scan) << 16));
  PostMessageA(target, WM_KEYUP, virtualKey, 1 | (LPARAM(scan) << 16) | (3u << 30));
}

}  // namespace kxtest
