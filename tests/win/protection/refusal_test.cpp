// The refusal: a protection system still running while no product is installed. The set-up
// ends its process with 138, so it runs in the protection_refuse helper.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bastion_fixture.h"
#include "win/launch/test_folders.h"

namespace {

using Lines = std::vector<std::string>;
using namespace testing_folders;

const char kRefusalText[] =
    "Installation can not proceed on this system due to one\r\nof the following reasons:\r\n"
    "\r\n - Installation was terminated before completion on this system.\r\n - System has not "
    "been restarted after un-installation.\r\n\r\nRestart is required to proceed with the "
    "installation.";

// The pixels of a 32x32 area: an icon drawn on the dialog colour, or what a window shows.
std::vector<COLORREF> Pixels(HICON icon, HWND window) {
  std::vector<COLORREF> pixels;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 32, 32};
  FillRect(dc, &all, GetSysColorBrush(COLOR_3DFACE));
  bool drawn;
  if (window) {
    RECT at;
    GetWindowRect(window, &at);
    drawn = BitBlt(dc, 0, 0, 32, 32, screen, at.left, at.top, SRCCOPY) != FALSE;
  } else {
    drawn = DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL) != FALSE;
  }
  if (drawn) {
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) pixels.push_back(GetPixel(dc, x, y));
    }
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// What the message box's icon control shows once painted: the icon sits in the box's one
// static control that holds an icon (its id differs between platforms). Empty when none.
std::vector<COLORREF> ShownIcon(HWND box) {
  std::vector<COLORREF> blank(32 * 32, GetSysColor(COLOR_3DFACE));
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!SendMessageA(c, STM_GETICON, 0, 0)) continue;
    std::vector<COLORREF> seen;
    for (int attempt = 0; attempt < 100; ++attempt) {  // until the box has painted it
      seen = Pixels(nullptr, c);
      if (!seen.empty() && seen != blank) break;
      Sleep(20);
    }
    return seen;
  }
  return {};
}

struct Outcome {
  DWORD exitCode = 0;
  bool boxShown = false;
  std::string boxText;
  bool errorIcon = false;
};

class RefusalTest : public BastionTest {
 protected:
  // The doubles log outside the work folder, which the refusal removes.
  void MakeRefusingWorkFolder(const std::string &control) {
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string outside = FreshFolder(std::string("protection\\") + info->name() + "_log");
    MakeWorkFolder(control + "log=" + outside + "bn_log.txt\n");
    logPath_ = outside + "bn_log.txt";
  }

  // Runs the set-up in the helper; answers the message box, if one comes, with OK.
  Outcome RunHelper(int silent) {
    Outcome out;
    std::string line = "\"" + OwnFolder() + "protection_refuse.exe\" \"" + work_ + "\\\" " +
                       std::to_string(silent);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
      ADD_FAILURE() << "helper did not start";
      return out;
    }
    // Watch for the box until the helper ends; a generous bound only keeps a broken run from
    // hanging the suite.
    for (int i = 0; i < 600; ++i) {
      if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
      HWND box = FindWindowA("#32770", "Installer");
      if (!box) continue;
      DWORD owner = 0;
      GetWindowThreadProcessId(box, &owner);
      if (owner != pi.dwProcessId) continue;
      out.boxShown = true;
      char text[1024] = {};
      GetDlgItemTextA(box, 65535, text, sizeof text);
      out.boxText = text;
      // Compared pixel by pixel with the system's error icon; the information icon must differ,
      // or the comparison would prove nothing.
      std::vector<COLORREF> shown = ShownIcon(box);
      out.errorIcon = !shown.empty() && shown == Pixels(LoadIconA(nullptr, IDI_HAND), nullptr) &&
                      shown != Pixels(LoadIconA(nullptr, IDI_ASTERISK), nullptr);
      SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "helper did not end";
      TerminateProcess(pi.hProcess, 1);
    }
    GetExitCodeProcess(pi.hProcess, &out.exitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return out;
  }

  // The helper's pid in the log, written as <pid>.
  Lines HelperLog() const {
    Lines lines;
    for (std::string line : ReadLines(logPath_)) {
      std::size_t a = line.find(' '), b = line.find(' ', a + 1);
      if (line.compare(0, 3, "BN_") == 0 && a != std::string::npos && b != std::string::npos) {
        line.replace(a + 1, b - a - 1, "<pid>");
      }
      lines.push_back(ReplaceAll(line, work_.substr(0, work_.size() - 1), "<W>"));
    }
    return lines;
  }
};

TEST_F(RefusalTest, ShowsTheMessageUninstallsRemovesTheFolderAndEndsWith138) {
  MakeRefusingWorkFolder("installed=1\nrunning=1\n");
  CreateDirectoryA((work_ + "VeloDat").c_str(), nullptr);
  WriteText(work_ + "VeloDat\\x.dat", "data");

  Outcome out = RunHelper(0);
  EXPECT_TRUE(out.boxShown);
  EXPECT_EQ(out.boxText, kRefusalText);
  EXPECT_TRUE(out.errorIcon);
  EXPECT_EQ(out.exitCode, 138u);
  EXPECT_FALSE(Exists(work_)) << "the work folder tree is removed";
  EXPECT_EQ(HelperLog(), (Lines{
                             "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                             "BN_IsSystemRunning <pid> -> 1 running=1",
                             "IsBastionInstalled -> 1",
                             "BN_UninstallSystem <pid> -> 1",
                             "UnLoadBastionInterface bnapi.dll -> 1",
                         }));
}

TEST_F(RefusalTest, SystemNotInstalledIsNotUninstalled) {
  MakeRefusingWorkFolder("installed=0\nrunning=1\n");
  Outcome out = RunHelper(0);
  EXPECT_TRUE(out.boxShown);
  EXPECT_EQ(out.exitCode, 138u);
  EXPECT_FALSE(Exists(work_));
  EXPECT_EQ(HelperLog(), (Lines{
                             "LoadBastionInterfaceFromPath <W> -> 1 bnapi.dll",
                             "BN_IsSystemRunning <pid> -> 1 running=1",
                             "IsBastionInstalled -> 0",
                             "UnLoadBastionInterface bnapi.dll -> 1",
                         }));
}

TEST_F(RefusalTest, AnyNonzeroSilentFlagRefusesWithoutAMessage) {
  for (int silent : {1, 2, 255}) {
    MakeRefusingWorkFolder("installed=1\nrunning=1\n");
    Outcome out = RunHelper(silent);
    EXPECT_FALSE(out.boxShown) << silent;
    EXPECT_EQ(out.exitCode, 138u) << silent;
    EXPECT_FALSE(Exists(work_)) << silent;
    Lines log = HelperLog();
    ASSERT_EQ(log.size(), 5u) << silent;
    EXPECT_EQ(log[3], "BN_UninstallSystem <pid> -> 1");
  }
}

TEST_F(RefusalTest, NotRunningSystemIsNoReasonToRefuse) {
  MakeRefusingWorkFolder("installed=1\nrunning=0\n");
  Outcome out = RunHelper(0);
  EXPECT_FALSE(out.boxShown);
  EXPECT_EQ(out.exitCode, 101u) << "the set-up returned true";
  EXPECT_TRUE(Exists(work_ + "bnstub.dll"));
}

}  // namespace
