// Test host: runs the progress dialog over a work folder the test prepared, exactly as
// start-up does, and watches the dialog from inside its own thread.
//   ui_dialog_host WORKFOLDER SILENT REPORTFILE [cancel-at-init]
// The report tells how often the dialog was seen visible (at any message it was sent), how
// often something asked to show it, where its progress bar stood when it was destroyed (how
// far the run got, even when the work folder is gone by then) and the exit code of the
// failure that ended the run (0 for none). The host ends with start-up's exit code, without
// start-up's message box: the end-to-end runs look at that.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/fatal_outcomes.h"
#include "ui/run_dialog.h"

namespace {

HHOOK g_hook = nullptr;
bool g_cancelAtInit = false;
int g_messagesSeen = 0;
int g_visibleSeen = 0;
int g_showRequests = 0;
int g_barAtEnd = -1;
int g_barHighAtEnd = -1;

bool IsUnpackDialog(HWND hwnd) {
  char title[64] = {};
  GetWindowTextA(hwnd, title, sizeof title);
  return std::strcmp(title, "Unpacking ....") == 0;
}

LRESULT CALLBACK WatchDialog(int code, WPARAM wParam, LPARAM lParam) {
  auto *msg = reinterpret_cast<CWPRETSTRUCT *>(lParam);
  if (code == HC_ACTION && IsUnpackDialog(msg->hwnd)) {
    ++g_messagesSeen;
    if (GetWindowLongA(msg->hwnd, GWL_STYLE) & WS_VISIBLE) ++g_visibleSeen;
    if (msg->message == WM_SHOWWINDOW && msg->wParam) ++g_showRequests;
    if (msg->message == WM_WINDOWPOSCHANGED &&
        (reinterpret_cast<WINDOWPOS *>(msg->lParam)->flags & SWP_SHOWWINDOW))
      ++g_visibleSeen;
    if (msg->message == WM_DESTROY) {
      HWND bar = GetDlgItem(msg->hwnd, 1001);
      g_barAtEnd = int(SendMessageA(bar, PBM_GETPOS, 0, 0));
      g_barHighAtEnd = int(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    }
    if (msg->message == WM_INITDIALOG && g_cancelAtInit)
      PostMessageA(GetDlgItem(msg->hwnd, IDCANCEL), BM_CLICK, 0, 0);
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 4) return 2;
  g_cancelAtInit = argc > 4 && std::strcmp(argv[4], "cancel-at-init") == 0;
  g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, WatchDialog, nullptr, GetCurrentThreadId());

  // The folder arrives without its backslash (it would escape the closing quote).
  char workDir[MAX_PATH] = {};
  std::snprintf(workDir, sizeof workDir, "%s\\", argv[1]);
  kx::RunOutcome outcome =
      RunProgressDialog(workDir, kx::DecodeSilent(static_cast<signed char>(std::atoi(argv[2]))),
                        kx::InstallerOptions{});
  bool failed = outcome.kind == kx::RunOutcome::Kind::kFailed;

  if (std::FILE *report = std::fopen(argv[3], "w")) {
    std::fprintf(report, "messages=%d visible=%d showRequests=%d bar=%d/%d failure=%u\n",
                 g_messagesSeen, g_visibleSeen, g_showRequests, g_barAtEnd, g_barHighAtEnd,
                 failed ? FatalOutcomeOf(outcome.failure).exitCode : 0u);
    std::fclose(report);
  }
  UnhookWindowsHookEx(g_hook);
  kx::SilentMode noMessages;
  noMessages.showNoMessages = true;  // every failure the dialog meets can be silenced
  EndRun(outcome, noMessages);
}
