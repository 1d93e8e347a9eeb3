// The progress dialog and its modal layer from inside: a probe derived from the dialog sees
// each message before the dialog's own handlers and acts at chosen moments.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/fatal_outcomes.h"
#include "res/resource.h"
#include "support/pixels.h"
#include "support/test_paths.h"
#include "ui/launch.h"
#include "ui/unpack_dialog.h"

using namespace kxtest;

namespace {

class ProbeDialog : public CUnpackDialog {
 public:
  explicit ProbeDialog(HWND parent = nullptr) : CUnpackDialog(parent) {}

  // After the dialog's own initialisation.
  std::function<void()> afterInit;
  // Before the dialog's handler; returning true keeps the message from it.
  std::function<bool(UINT, WPARAM, LPARAM)> before;
  // After the dialog's handler.
  std::function<void(UINT, WPARAM, LPARAM)> after;
  int iconBackgroundErases = 0;
  int closeRequestsSeen = 0;
  LRESULT helpResult = 0;

 protected:
  BOOL OnInitDialog() override {
    BOOL result = CUnpackDialog::OnInitDialog();
    if (afterInit) afterInit();
    return result;
  }
  INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam, bool &handled) override {
    if (msg == WM_ICONERASEBKGND) ++iconBackgroundErases;
    if (msg == WM_CLOSE) ++closeRequestsSeen;
    if (before && before(msg, wParam, lParam)) {
      handled = true;
      return 0;
    }
    INT_PTR result = CUnpackDialog::DialogProc(msg, wParam, lParam, handled);
    if (after) after(msg, wParam, lParam);
    return result;
  }
};

class DialogInProcess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
  }
  void SetUp() override {
    work = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    dialog.SetFolders(work.c_str(), work.c_str());
    dialog.SetSilent(kx::DecodeSilent(0));
  }
  void PutPayload(const char *archive) {
    ASSERT_TRUE(
        CopyFileA((TestDataDir() + "\\ui\\" + archive).c_str(), (work + "KXDATA.ARJ").c_str(), 0));
  }
  int BarHigh() { return int(SendMessageA(dialog.m_ctlProgress, PBM_GETRANGE, FALSE, 0)); }

  std::string work;
  ProbeDialog dialog;
};

TEST_F(DialogInProcess, InitialisationSetsIconsBindsControlsAndArmsTheTimer) {
  EXPECT_EQ(0, dialog.m_bCancelled);
  ASSERT_NE(nullptr, dialog.m_hIcon);
  HICON bigIcon = nullptr, smallIcon = nullptr, dragIcon = nullptr;
  dialog.afterInit = [&] {
    bigIcon = HICON(SendMessageA(dialog.m_hWnd, WM_GETICON, ICON_BIG, 0));
    smallIcon = HICON(SendMessageA(dialog.m_hWnd, WM_GETICON, ICON_SMALL, 0));
    dragIcon = HICON(SendMessageA(dialog.m_hWnd, WM_QUERYDRAGICON, 0, 0));
    EXPECT_EQ(GetDlgItem(dialog.m_hWnd, IDC_STATUS_TEXT), dialog.m_ctlStatus);
    EXPECT_EQ(GetDlgItem(dialog.m_hWnd, IDC_PROGRESS), dialog.m_ctlProgress);
    EXPECT_NE(nullptr, dialog.m_ctlProgress);
  };
  // No KXDATA.ARJ: the first tick's unpack counts 103 (cannot open) and finds nothing there;
  // the run goes on, finds nothing else to unpack or start and ends the dialog itself.
  EXPECT_EQ(1, dialog.DoModal());
  EXPECT_EQ("VeloDat", ListFolder(work));  // the data folder is made even so
  EXPECT_EQ(kx::RunOutcome::Failed(kx::Fatal::kInstallerNotStarted), dialog.m_outcome);
  EXPECT_EQ(dialog.m_hIcon, bigIcon);
  EXPECT_EQ(dialog.m_hIcon, smallIcon);
  EXPECT_EQ(dialog.m_hIcon, dragIcon);
  EXPECT_EQ(nullptr, dialog.m_hWnd);  // destroyed when the run ended
}

TEST_F(DialogInProcess, EscapeCloseAndHelpDoNothing) {
  dialog.afterInit = [&] {
    HWND cancel = GetDlgItem(dialog.m_hWnd, IDCANCEL);
    PostMessageA(cancel, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(dialog.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(dialog.m_hWnd, WM_CLOSE, 0, 0);
    HELPINFO help = {sizeof help, HELPINFO_WINDOW, IDCANCEL, cancel, 0, {0, 0}};
    dialog.helpResult = SendMessageA(dialog.m_hWnd, WM_HELP, 0, LPARAM(&help));
  };
  int barHighAtTick = -1;
  HWND focusAtTick = nullptr;
  int focusIdAtTick = 0;
  dialog.before = [&](UINT msg, WPARAM id, LPARAM) {
    if (msg == WM_TIMER && id == 100) {
      barHighAtTick = BarHigh();
      focusAtTick = GetFocus();
      focusIdAtTick = GetDlgCtrlID(focusAtTick);
    }
    return false;
  };
  // The run ends by the tick, not by any of the requests above.
  EXPECT_EQ(1, dialog.DoModal());
  EXPECT_EQ(0, dialog.m_bCancelled);
  EXPECT_EQ(1, dialog.closeRequestsSeen);
  EXPECT_EQ(TRUE, dialog.helpResult);
  EXPECT_EQ(100, barHighAtTick);  // nothing had touched the bar before the tick
  EXPECT_NE(nullptr, focusAtTick);
  EXPECT_EQ(IDCANCEL, focusIdAtTick);  // the only tab stop holds the focus
}

TEST_F(DialogInProcess, CancelBeforeTheFirstTickEndsTheRunWithNothingUnpacked) {
  PutPayload("small.arj");
  bool ticked = false;
  dialog.afterInit = [&] { PostMessageA(GetDlgItem(dialog.m_hWnd, IDCANCEL), BM_CLICK, 0, 0); };
  dialog.before = [&](UINT msg, WPARAM, LPARAM) {
    if (msg == WM_TIMER) ticked = true;
    return false;
  };
  EXPECT_EQ(IDCANCEL, dialog.DoModal());
  EXPECT_EQ(1, dialog.m_bCancelled);
  EXPECT_FALSE(ticked);
  EXPECT_EQ("KXDATA.ARJ", ListFolder(work));
}

TEST_F(DialogInProcess, CancelDuringTheUnpackTakesEffectWhenTheTickHandlerReturns) {
  PutPayload("small.arj");
  bool aliveAfterTick = false;
  int barAfterTick = -1, barHighAfterTick = -1;
  dialog.before = [&](UINT msg, WPARAM id, LPARAM) {
    // The click waits in the queue until the pump before the first member.
    if (msg == WM_TIMER && id == 100)
      PostMessageA(GetDlgItem(dialog.m_hWnd, IDCANCEL), BM_CLICK, 0, 0);
    return false;
  };
  dialog.after = [&](UINT msg, WPARAM id, LPARAM) {
    if (msg != WM_TIMER || id != 100) return;
    aliveAfterTick = IsWindow(dialog.m_hWnd) != 0;
    barAfterTick = int(SendMessageA(dialog.m_ctlProgress, PBM_GETPOS, 0, 0));
    barHighAfterTick = BarHigh();
  };
  EXPECT_EQ(1, dialog.DoModal());  // the handler's own EndDialog(1) comes last
  EXPECT_EQ(1, dialog.m_bCancelled);
  EXPECT_TRUE(aliveAfterTick);
  // The member in progress was finished, and the unpack stopped right after it.
  EXPECT_EQ(3, barHighAfterTick);
  EXPECT_EQ(1, barAfterTick);
  // A cancelled run removes the work folder with all it held.
  EXPECT_FALSE(FileExists(work.substr(0, work.size() - 1)));
}

TEST_F(DialogInProcess, DamagedMemberStopsTheRunAndRemovesTheWorkFolder) {
  PutPayload("bad.arj");
  int barHighAfterTick = -1;
  dialog.after = [&](UINT msg, WPARAM id, LPARAM) {
    if (msg == WM_TIMER && id == 100) barHighAfterTick = BarHigh();
  };
  EXPECT_EQ(1, dialog.DoModal());
  EXPECT_EQ(kx::RunOutcome::Failed(kx::Fatal::kCorruptSet), dialog.m_outcome);
  // Stopped at the damaged member: CORE.ARJ, never looked for, would have set a range of 103.
  EXPECT_EQ(3, barHighAfterTick);
  EXPECT_FALSE(FileExists(work.substr(0, work.size() - 1)));
}

TEST_F(DialogInProcess, CancelThatMeetsAFailingMemberWins) {
  PutPayload("bad_first.arj");
  dialog.before = [&](UINT msg, WPARAM id, LPARAM) {
    // Handled in the pump before the first member, whose extraction then fails.
    if (msg == WM_TIMER && id == 100)
      PostMessageA(GetDlgItem(dialog.m_hWnd, IDCANCEL), BM_CLICK, 0, 0);
    return false;
  };
  EXPECT_EQ(1, dialog.DoModal());
  EXPECT_EQ(1, dialog.m_bCancelled);
  EXPECT_EQ(kx::RunOutcome::Cancelled(), dialog.m_outcome)
      << "a cancel, not a failure: the run ends with 0";
  EXPECT_FALSE(FileExists(work.substr(0, work.size() - 1)));
}

// The installer (the stage.exe double, exiting with 0) runs, but its exit code is lost: the
// run ends as a failure of its own, never as the success an exit code of 0 would claim.
TEST_F(DialogInProcess, InstallerWhoseExitCodeIsLostEndsTheRunAsAFailure) {
  // Wine shows the Unix root as drive Z:, and takes either slash.
  ASSERT_TRUE(CopyFileA("Z:" KX_DOUBLES_DIR "/stage.exe", (work + "stage.exe").c_str(), TRUE));
  kx::ExitCodeWaitFn real = kx::SetExitCodeWaitForTesting([](HANDLE process, DWORD *) {
    WaitForSingleObject(process, INFINITE);
    return false;
  });
  EXPECT_EQ(1, dialog.DoModal());
  kx::SetExitCodeWaitForTesting(real);
  EXPECT_TRUE(FileExists(work + "stage_report.txt")) << "the installer ran";
  ASSERT_EQ(kx::RunOutcome::Failed(kx::Fatal::kInstallerExitCodeLost), dialog.m_outcome);
  EXPECT_EQ(133u, FatalOutcomeOf(dialog.m_outcome.failure).exitCode);
}

TEST_F(DialogInProcess, OtherTimersKeepTheDefaultHandling) {
  PutPayload("small.arj");
  int otherTicks = 0;
  dialog.afterInit = [&] { SetTimer(dialog.m_hWnd, 7, 1, nullptr); };
  dialog.after = [&](UINT msg, WPARAM id, LPARAM) {
    if (msg != WM_TIMER || id != 7) return;
    ++otherTicks;
    EXPECT_EQ(100, BarHigh());  // no unpack ran
    EXPECT_EQ("KXDATA.ARJ", ListFolder(work));
    KillTimer(dialog.m_hWnd, 7);
  };
  EXPECT_EQ(1, dialog.DoModal());
  EXPECT_EQ(1, otherTicks);
  // The sequence ran once, in full: members out, the spent payload copy deleted.
  EXPECT_EQ("M1.TXT M2.TXT M3.TXT VeloDat", ListFolder(work));
}

TEST_F(DialogInProcess, CleanerGoesNextToTheWorkFolderOnlyWhenNotSilent) {
  for (int silent : {0, 1, 2, -1}) {
    // A parent of its own per run, so one run's copy cannot be mistaken for the other's.
    std::string parent = work + "silent" + std::to_string(silent) + "\\";
    std::string inner = parent + "work\\";
    ASSERT_TRUE(CreateDirectoryA(parent.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA((TestDataDir() + "\\ui\\cleaner.arj").c_str(),
                          (inner + "KXDATA.ARJ").c_str(), 0));
    ProbeDialog run;
    ASSERT_TRUE(run.SetFolders(inner.c_str(), inner.c_str()));
    run.SetSilent(kx::DecodeSilent(silent));
    EXPECT_EQ(1, run.DoModal()) << silent;
    EXPECT_EQ("KXDELTMP.EXE M1.TXT VeloDat", ListFolder(inner)) << silent;
    if (silent == 0) {
      EXPECT_EQ("KXDELTMP.EXE work", ListFolder(parent));
      EXPECT_EQ("cleaner\n", ReadFileBytes(parent + "KXDELTMP.EXE"));
    } else {
      EXPECT_EQ("work", ListFolder(parent));
    }
  }
}

TEST_F(DialogInProcess, OwnerIsDisabledOnlyWhileTheDialogRuns) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ProbeDialog owned(owner);
  owned.SetFolders(work.c_str(), work.c_str());
  owned.SetSilent(kx::DecodeSilent(1));
  BOOL enabledWhileRunning = TRUE;
  owned.afterInit = [&] { enabledWhileRunning = IsWindowEnabled(owner); };
  EXPECT_EQ(1, owned.DoModal());
  EXPECT_FALSE(enabledWhileRunning);
  EXPECT_TRUE(IsWindowEnabled(owner));
  DestroyWindow(owner);
}

TEST_F(DialogInProcess, MinimisedDialogPaintsItsIconCentred) {
  // The icon's own pixels: drawn over black and over white, the ones that agree are opaque.
  int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  std::vector<DWORD> overBlack = IconOver(dialog.m_hIcon, RGB(0, 0, 0), cx, cy);
  std::vector<DWORD> overWhite = IconOver(dialog.m_hIcon, RGB(255, 255, 255), cx, cy);
  std::vector<size_t> opaque;
  for (size_t p = 0; p < overBlack.size(); ++p)
    if (overBlack[p] == overWhite[p]) opaque.push_back(p);

  // A minimised window keeps no client area today and is parked off the screen. Mark this one
  // minimised where it stands instead, so the painting of its client area can be read back.
  RECT client = {};
  std::vector<DWORD> painted;
  dialog.before = [&](UINT msg, WPARAM id, LPARAM) {
    if (msg != WM_TIMER || id != 100) return false;
    LONG style = GetWindowLongA(dialog.m_hWnd, GWL_STYLE);
    SetWindowLongA(dialog.m_hWnd, GWL_STYLE, style | WS_MINIMIZE);
    // A real icon shows no controls: keep them from painting over the client area.
    for (int control : {IDCANCEL, IDC_STATUS_TEXT, IDC_PROGRESS, IDC_ICON_STATIC})
      ShowWindow(GetDlgItem(dialog.m_hWnd, control), SW_HIDE);
    EXPECT_TRUE(IsIconic(dialog.m_hWnd));
    RedrawWindow(dialog.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    GetClientRect(dialog.m_hWnd, &client);
    // The painting of an iconic window is placed in window coordinates: read it the same way.
    HDC dc = GetWindowDC(dialog.m_hWnd);
    painted = Capture(dc, 0, 0, client.right, client.bottom);
    ReleaseDC(dialog.m_hWnd, dc);
    SetWindowLongA(dialog.m_hWnd, GWL_STYLE, style);
    for (int control : {IDCANCEL, IDC_STATUS_TEXT, IDC_PROGRESS, IDC_ICON_STATIC})
      ShowWindow(GetDlgItem(dialog.m_hWnd, control), SW_SHOW);
    return false;
  };
  EXPECT_EQ(1, dialog.DoModal());
  EXPECT_GE(dialog.iconBackgroundErases, 1);
  ASSERT_GT(opaque.size(), 50u);
  int w = client.right, h = client.bottom;
  ASSERT_TRUE(w >= cx && h >= cy) << w << "x" << h;

  // Every place in the client area where the whole icon stands: one, in the middle.
  std::vector<POINT> found;
  for (int y = 0; y + cy <= h; ++y) {
    for (int x = 0; x + cx <= w; ++x) {
      bool all = true;
      for (size_t p : opaque) {
        size_t at = (y + p / cx) * w + x + p % cx;
        if ((painted[at] & 0xFFFFFF) != (overBlack[p] & 0xFFFFFF)) {
          all = false;
          break;
        }
      }
      if (all) found.push_back({x, y});
    }
  }
  ASSERT_EQ(1u, found.size()) << "client " << w << "x" << h;
  // Centred: the margins on either side differ by one pixel at the most.
  EXPECT_LE(std::abs(2 * found[0].x + cx - w), 1) << found[0].x << " of " << w;
  EXPECT_LE(std::abs(2 * found[0].y + cy - h), 1) << found[0].y << " of " << h;
}

TEST(UnpackDialogFolders, PathsThatDoNotFitAreRefusedNotCut) {
  CUnpackDialog dialog;
  std::string fits(259, 'a'), tooLong(260, 'b');
  EXPECT_TRUE(dialog.SetFolders(fits.c_str(), "C:\\work\\"));
  EXPECT_EQ(fits, dialog.m_szArchiveFolder);
  EXPECT_STREQ("C:\\work\\", dialog.m_szOutputFolder);
  EXPECT_FALSE(dialog.SetFolders("C:\\a\\", tooLong.c_str()));
  EXPECT_STREQ("C:\\a\\", dialog.m_szArchiveFolder);
  EXPECT_STREQ("", dialog.m_szOutputFolder);
  EXPECT_TRUE(dialog.SetSilent(kx::DecodeSilent(-1)));
  EXPECT_EQ(kx::DecodeSilent(-1), dialog.m_silent);
}

}  // namespace
