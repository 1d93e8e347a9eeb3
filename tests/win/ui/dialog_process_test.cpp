// The progress dialog as the user meets it: the test host runs it in its own process, the
// test drives it from outside as a user (or another program) would.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/dialog_driver.h"
#include "support/test_paths.h"

using namespace kxtest;

namespace {

// Members of many.arj (make_archives.sh).
constexpr int kManyMembers = 600;

const DWORD kLong = 60000;  // generous upper bounds: the waits end on observed state

std::string HostPath() {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string path = self;
  return path.substr(0, path.rfind('\\') + 1) + "ui_dialog_host.exe";
}

class DialogProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    work = FreshFolder(name);
    report = TestDataDir() + "\\ui-scratch\\" + name + ".report";
    DeleteFileA(report.c_str());
  }
  void PutPayload(const char *archive) {
    ASSERT_TRUE(
        CopyFileA((TestDataDir() + "\\ui\\" + archive).c_str(), (work + "KXDATA.ARJ").c_str(), 0));
  }
  bool Start(int silent, const char *extra = "") { return StartAs(host, silent, extra); }
  // The stamp's silent byte as the host widens it.
  bool StartAs(ChildProcess &child, int silent, const char *extra = "") {
    // Without its backslash: "...\" would escape the closing quote.
    std::string folder = work.substr(0, work.size() - 1);
    return child.Start("\"" + HostPath() + "\" \"" + folder + "\" " + std::to_string(silent) +
                       " \"" + report + "\" " + extra);
  }
  // Starts a shown dialog on many.arj and waits until it has unpacked that many members;
  // null, and a failure, when it does not get there.
  HWND StartUnpacking(int members) {
    PutPayload("many.arj");
    HWND dialog = nullptr;
    bool there =
        Start(0) &&
        WaitUntil([&] { return (dialog = FindUnpackDialog(host.pid())) != nullptr; }, kLong) &&
        WaitUntil([&] { return BarPosition(dialog) >= members; }, kLong);
    EXPECT_TRUE(there) << "no dialog that unpacked " << members << " members";
    return there ? dialog : nullptr;
  }
  std::string Report() { return ReadFileBytes(report); }
  bool IsFolder(const std::string &path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  std::string work, report;
  ChildProcess host;
};

TEST_F(DialogProcess, ShowsItsTemplateAndIgnoresEscapeAndClose) {
  HWND dialog = StartUnpacking(20);
  ASSERT_TRUE(dialog);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ("Unpacking ....", WindowText(dialog));
  EXPECT_EQ(0, BarLow(dialog));
  EXPECT_EQ(kManyMembers, BarHigh(dialog));

  auto controls = Controls(dialog);
  ASSERT_EQ(4u, controls.size());
  EXPECT_EQ(IDCANCEL, controls[0].id);
  EXPECT_EQ("Button", controls[0].className);
  EXPECT_EQ("&Cancel", controls[0].text);
  EXPECT_EQ(1003, controls[1].id);
  EXPECT_EQ("Static", controls[1].className);
  EXPECT_EQ("Extracting files for installation.......", controls[1].text);
  EXPECT_EQ(1001, controls[2].id);
  EXPECT_EQ("msctls_progress32", controls[2].className);
  EXPECT_EQ(1002, controls[3].id);
  EXPECT_EQ("Static", controls[3].className);
  for (const auto &c : controls) EXPECT_TRUE(c.visible) << c.id;

  // Escape goes to the focused button, where the dialog manager would make it a Cancel. (The
  // help request is checked in process, where the dialog's answer to it can be read.)
  HWND cancel = GetDlgItem(dialog, IDCANCEL);
  PostKey(cancel, VK_ESCAPE);
  PostKey(dialog, VK_ESCAPE);
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  int seen = BarPosition(dialog);
  // Two more members: the messages above have been pumped and handled.
  ASSERT_TRUE(WaitUntil([&] { return BarPosition(dialog) >= seen + 2; }, kLong));
  EXPECT_TRUE(host.Running());
  EXPECT_EQ("Extracting files for installation.......", WindowText(GetDlgItem(dialog, 1003)));

  // The inner installer is not in this payload: its launch fails and the run ends with 132.
  EXPECT_EQ(132, host.Wait(kLong));
  EXPECT_EQ(kManyMembers, CountFiles(work));  // every member; the spent payload copy is deleted
  EXPECT_FALSE(FileExists(work + "KXDATA.ARJ"));
  EXPECT_FALSE(FileExists(work + "NEWFILE.TMP"));
  EXPECT_TRUE(FileExists(work + "F0599.TXT"));
  EXPECT_EQ("file 599\n", ReadFileBytes(work + "F0599.TXT"));
  EXPECT_TRUE(IsFolder(work + "VeloDat"));
  // The run went on to CORE.ARJ, absent here: the engine's "cannot open" answer, 103, became
  // the bar's range, and the position the payload left (600) was kept inside it.
  std::string r = Report();
  EXPECT_NE(std::string::npos, r.find(" bar=103/103 failure=132")) << r;
}

TEST_F(DialogProcess, CancelWhileUnpackingEndsTheRun) {
  HWND dialog = StartUnpacking(10);
  ASSERT_TRUE(dialog);
  PressCancel(dialog);
  EXPECT_EQ(0, host.Wait(kLong));
  // A cancelled run leaves nothing behind: the work folder goes with all it held.
  EXPECT_FALSE(FileExists(work.substr(0, work.size() - 1)));
  // The unpack stopped part-way, at the cancel, rather than running to its end first.
  std::string r = Report();
  int bar = -1, high = -1;
  ASSERT_NE(std::string::npos, r.find(" bar=")) << r;
  ASSERT_EQ(2, std::sscanf(r.c_str() + r.find(" bar="), " bar=%d/%d", &bar, &high)) << r;
  EXPECT_EQ(kManyMembers, high);
  EXPECT_GT(bar, 10);
  EXPECT_LT(bar, kManyMembers);
}

TEST_F(DialogProcess, CancelBeforeTheFirstTickLeavesOnlyThePayloadCopy) {
  PutPayload("small.arj");
  std::string payload = ReadFileBytes(work + "KXDATA.ARJ");
  ASSERT_TRUE(Start(0, "cancel-at-init"));
  EXPECT_EQ(0, host.Wait(kLong));
  EXPECT_EQ("KXDATA.ARJ", ListFolder(work));
  EXPECT_EQ(payload, ReadFileBytes(work + "KXDATA.ARJ"));
  std::string r = Report();
  EXPECT_NE(std::string::npos, r.find(" bar=0/100")) << r;  // no unpack ever began
}

TEST_F(DialogProcess, SilentDialogIsNeverVisible) {
  PutPayload("many.arj");
  ASSERT_TRUE(Start(1));
  int polls = 0, found = 0, visible = 0;
  while (host.Running()) {
    ++polls;
    if (HWND dialog = FindUnpackDialog(host.pid())) {
      ++found;
      if (IsWindowVisible(dialog) || (GetWindowLongA(dialog, GWL_STYLE) & WS_VISIBLE)) ++visible;
    }
    // Every poll is a round trip through the wineserver that the host also needs; polling
    // flat out slows the host's unpack tenfold on a busy machine.
    Sleep(10);
  }
  EXPECT_EQ(132, host.Wait(kLong));
  EXPECT_GT(found, 0) << "the dialog was never seen: nothing was checked";
  EXPECT_EQ(0, visible) << found << " of " << polls << " polls found the dialog";
  // From inside: asked to show (the template is visible) and yet never shown.
  std::string r = Report();
  EXPECT_NE(std::string::npos, r.find(" visible=0 ")) << r;
  EXPECT_EQ(std::string::npos, r.find("showRequests=0")) << r;
  // Everything else runs the same.
  EXPECT_EQ(kManyMembers, CountFiles(work));
  EXPECT_FALSE(FileExists(work + "KXDATA.ARJ"));
  EXPECT_TRUE(IsFolder(work + "VeloDat"));
  EXPECT_NE(std::string::npos, r.find(" bar=103/103")) << r;
}

// 2, and 0xFF (-1 once widened), run with no messages and no cleaner, yet visible.
TEST_F(DialogProcess, OnlySilentOneHidesTheDialog) {
  for (int silent : {2, 0xFF}) {
    work = FreshFolder("OnlySilentOneHidesTheDialog" + std::to_string(silent));
    DeleteFileA(report.c_str());
    PutPayload("small.arj");
    ChildProcess run;
    ASSERT_TRUE(StartAs(run, silent));
    EXPECT_EQ(132, run.Wait(kLong)) << silent;
    std::string r = Report();
    ASSERT_FALSE(r.empty()) << silent;
    EXPECT_EQ(std::string::npos, r.find(" visible=0 ")) << r;
    EXPECT_EQ("M1.TXT M2.TXT M3.TXT VeloDat", ListFolder(work)) << silent;
  }
}

}  // namespace
