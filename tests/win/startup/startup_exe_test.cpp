// The real program, started from real images with its own TEMP: every start-up message and
// exit code, the work folder, the payload copy and the saved command line.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <regex>
#include <set>

#include "app/messages.h"
#include "support/image_builder.h"
#include "support/win_harness.h"

using namespace kxtest;

namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    root_ = FreshDir("startup_" + name);
    temp_ = root_ + "\\temp";
    CreateDirectoryA(temp_.c_str(), nullptr);
    image_ = root_ + "\\setup.exe";
  }

  // Runs the image with TEMP and TMP set to temp (with a trailing backslash unless told).
  DWORD Run(const std::string &args = "", const std::string &temp = "") {
    std::string t = temp.empty() ? temp_ + "\\" : temp;
    boxes_.clear();
    return RunDismissingBoxes(image_, args, {{"TEMP", t}, {"TMP", t}}, &boxes_);
  }

  // Work folders made under the temporary folder.
  std::vector<std::string> WorkFolders() {
    std::vector<std::string> found;
    for (const std::string &name : FolderNames(temp_))
      if (std::regex_match(name, std::regex("KX[0-9]{4}\\.ins"))) found.push_back(name);
    return found;
  }

  // The one work folder the run left; empty, and a failure, unless there is exactly one.
  std::string TheWorkFolder() {
    auto folders = WorkFolders();
    EXPECT_EQ(folders.size(), 1u);
    return folders.size() == 1 ? temp_ + "\\" + folders[0] : "";
  }

  // A file of that work folder; a failure when it cannot be read.
  std::string WorkFile(const std::string &name) {
    std::string work = TheWorkFolder(), bytes;
    if (!work.empty() && !ReadFileBytes(work + "\\" + name, &bytes))
      ADD_FAILURE() << name << " cannot be read";
    return bytes;
  }

  void ExpectOneBox(const char *text) {
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "Installer");
    EXPECT_EQ(boxes_[0].text, text);
    EXPECT_TRUE(boxes_[0].errorIcon);
    EXPECT_EQ(boxes_[0].buttons, std::vector<std::string>{"OK"});
  }

  // A run that got through start-up and unpacked its payload: there is no installer in it to
  // start.
  void ExpectRanToTheLaunch(DWORD code) {
    EXPECT_EQ(code, 132u);
    ExpectOneBox(msg::kCannotStartInstaller);
  }

  std::string root_, temp_, image_;
  std::vector<MessageBoxInfo> boxes_;
};

std::wstring Wide(const std::string &text, UINT codePage = CP_ACP) {
  std::wstring out(text.size() + 1, L'\0');
  int n = MultiByteToWideChar(codePage, 0, text.c_str(), -1, &out[0], static_cast<int>(out.size()));
  out.resize(n > 0 ? n - 1 : 0);
  return out;
}

// The stage.exe double as a payload member.
std::string StageDouble() {
  std::string bytes;
  ReadFileBytes(WinePath(KX_DOUBLES_DIR "/stage.exe"), &bytes);
  return bytes;
}

// A handle closed however the test ends.
using OwnedHandle = std::unique_ptr<void, decltype(&CloseHandle)>;

// Payload members whose stage.exe double holds the run until a file of path release exists.
std::vector<std::pair<std::string, std::string>> HeldStage(const std::string &release) {
  return {{"stage.exe", StageDouble()}, {"stage_hold.txt", release}};
}

// A run of the image that is ended however the test ends, so it always lets go of the guard.
struct HeldRun {
  Child child;
  ~HeldRun() { Kill(child); }
};

// The names a run draws first within the second t: the C library's generator seeded with t,
// as the program seeds it.
std::vector<std::string> FirstDrawnNames(time_t t, int count) {
  std::srand(static_cast<unsigned>(t));
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    int first = std::rand() % 100;
    char name[16];
    std::snprintf(name, sizeof name, "KX%02d%02d.ins", first, std::rand() % 100);
    names.push_back(name);
  }
  return names;
}

// Polls until the condition holds; false after ten seconds.
bool WaitUntil(const std::function<bool()> &condition) {
  for (int polls = 0; polls < 2000; ++polls) {
    if (condition()) return true;
    Sleep(5);
  }
  return condition();
}

// Polls while the child runs until the condition holds; false when the child ends first or
// after thirty seconds.
bool WaitWhileRunning(Child &child, const std::function<bool()> &condition) {
  for (int polls = 0; polls < 6000; ++polls) {
    if (condition()) return true;
    if (WaitExit(child, 5) != STILL_ACTIVE) break;
  }
  return condition();
}

// Free bytes of the volume of path that the calling user may take.
ULONGLONG FreeBytes(const std::string &path) {
  ULARGE_INTEGER available, total, totalFree;
  if (!GetDiskFreeSpaceExA(path.c_str(), &available, &total, &totalFree)) return 0;
  return available.QuadPart;
}

// Starts a Unix shell command from the Windows side (Wine starts Unix programs as they are):
// the only way to make a symbolic link here. Wine gives no handle to wait on: the caller waits
// for what the command makes.
bool RunUnixShell(const std::string &command) {
  std::string line = "/bin/sh -c \"" + command + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA("Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

std::string UnixPath(const std::string &winePath) {
  std::string p = winePath.substr(2);  // "Z:" is the Unix root
  for (char &c : p)
    if (c == '\\') c = '/';
  return p;
}

// The payload copy is unpacked (its member's CRC checked) and then deleted; the member
// arriving whole shows the copy was exact.
TEST_F(StartupTest, CopiesPayloadIntoFreshWorkFolder) {
  std::string content = PayloadBytes(3 * 4096 + 123);
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", content);
  ASSERT_TRUE(WriteImage(image_, spec));
  ExpectRanToTheLaunch(Run());
  std::string work = TheWorkFolder();
  EXPECT_EQ(WorkFile("PAYLOAD.BIN"), content);
  EXPECT_FALSE(Exists(work + "\\KXDATA.ARJ"));
  // An empty command line is not saved.
  EXPECT_FALSE(Exists(work + "\\ARGSAVE.DAT"));
}

TEST_F(StartupTest, IgnoresBytesAfterPayload) {
  std::string content = PayloadBytes(5000, 2);
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", content);
  spec.trailer = std::string(6, '\0') + PayloadBytes(4000, 3);
  ASSERT_TRUE(WriteImage(image_, spec));
  ExpectRanToTheLaunch(Run());
  EXPECT_EQ(WorkFile("PAYLOAD.BIN"), content);
}

TEST_F(StartupTest, SignedImageIsAccepted) {
  // Signed after building: a certificate table follows the payload.
  std::string dir = TestDataDir() + "\\signed";
  std::string content;
  ASSERT_TRUE(ReadFileBytes(dir + "\\content.txt", &content));
  ASSERT_TRUE(CopyFileA((dir + "\\signed.exe").c_str(), image_.c_str(), FALSE));
  ExpectRanToTheLaunch(Run("/KXPATH=C:\\P"));
  EXPECT_EQ(WorkFile("content.txt"), content);
}

TEST_F(StartupTest, ImageOneByteShortIsCorruptExactLengthRuns) {
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", PayloadBytes(1000));
  spec.overrideLength = true;
  spec.payloadLength = static_cast<std::int32_t>(spec.payload.size()) + 1;
  ASSERT_TRUE(WriteImage(image_, spec));
  EXPECT_EQ(Run(), 131u);
  ExpectOneBox(msg::kCorruptImage);

  spec.payloadLength -= 1;
  ASSERT_TRUE(WriteImage(image_, spec));
  ExpectRanToTheLaunch(Run());
}

TEST_F(StartupTest, NegativeStampFieldsAreCorrupt) {
  ImageSpec spec;
  spec.payload = PayloadBytes(100);
  spec.overrideLength = true;
  spec.payloadLength = -50;  // would pass the length check and copy a negative remainder
  ASSERT_TRUE(WriteImage(image_, spec));
  EXPECT_EQ(Run(), 131u);
  ExpectOneBox(msg::kCorruptImage);
}

TEST_F(StartupTest, InsufficientSpaceShowsMessageUnlessSilent) {
  ImageSpec spec;
  spec.payload = PayloadBytes(100);
  spec.requiredMB = 0x80000000u;  // negative as a signed number: never enough
  ASSERT_TRUE(WriteImage(image_, spec));
  EXPECT_EQ(Run(), 130u);
  ExpectOneBox(msg::kNoDiskSpace);
  EXPECT_TRUE(WorkFolders().empty());

  spec.silent = 2;
  ASSERT_TRUE(WriteImage(image_, spec));
  Child child;
  ASSERT_TRUE(Start(image_, "", {{"TEMP", temp_}, {"TMP", temp_}}, "", &child));
  bool everVisible = false;
  DWORD code;
  while ((code = WaitExit(child, 5)) == STILL_ACTIVE) everVisible |= AnyVisibleWindow(child.pid);
  EXPECT_EQ(code, 130u);
  EXPECT_FALSE(everVisible);
}

TEST_F(StartupTest, SecondInstanceIsRefusedUntilFirstHasEnded) {
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", PayloadBytes(100));
  ASSERT_TRUE(WriteImage(image_, spec));
  // Another instance holds the guard.
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, "Global\\Kxunpack_running");
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(Run(), 0u);
  ExpectOneBox(msg::kAlreadyRunning);
  EXPECT_TRUE(WorkFolders().empty());
  CloseHandle(held);

  ExpectRanToTheLaunch(Run());
  EXPECT_EQ(WorkFolders().size(), 1u);
}

// Two real runs of one image. The first, held in its wait for the stage.exe double, keeps the
// guard; the second is refused before it makes anything. Released, the first ends with its
// inner installer's code, and its guard has gone with it.
TEST_F(StartupTest, SecondRealInstanceIsRefusedWhileTheFirstWaitsForItsInstaller) {
  std::string release = root_ + "\\release";
  auto members = HeldStage(release);
  members.push_back({"stage_exit.txt", "3010"});
  ImageSpec spec;
  spec.payload = StoredArchive(members);
  ASSERT_TRUE(WriteImage(image_, spec));

  HeldRun run;
  Child &first = run.child;
  ASSERT_TRUE(Start(image_, "", {{"TEMP", temp_}, {"TMP", temp_}}, "", &first));
  ASSERT_TRUE(WaitWhileRunning(first, [&] {
    auto folders = WorkFolders();
    return folders.size() == 1 && Exists(temp_ + "\\" + folders[0] + "\\stage_report.txt");
  })) << "the first run never reached its installer";
  EXPECT_NE(OwnedHandle(OpenEventA(SYNCHRONIZE, FALSE, "Global\\Kxunpack_running"), &CloseHandle),
            nullptr);

  EXPECT_EQ(Run(), 0u);
  ExpectOneBox(msg::kAlreadyRunning);
  EXPECT_EQ(WorkFolders().size(), 1u);
  EXPECT_EQ(WaitExit(first, 0), static_cast<DWORD>(STILL_ACTIVE));

  ASSERT_TRUE(WriteFileBytes(release, ""));
  EXPECT_EQ(WaitExit(first, 30000), 3010u);
  // The release file exists now: this run's installer does not wait.
  EXPECT_EQ(Run(), 3010u);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(WorkFolders().size(), 2u);
}

// An event of the guard's name made by someone else that grants nothing: the run cannot open
// it, so it is no instance of ours, and the run goes on without the guard. Wine has one user
// only, so the test plants it as the very user that runs. It enforces the event's own rights
// (EVENT_ALL_ACCESS is refused with error 5) but, unlike Windows, also lets the creator's user
// open it for every standard right (SYNCHRONIZE, DELETE, WRITE_OWNER besides READ_CONTROL and
// WRITE_DAC); the run asks for all access and is refused either way.
TEST_F(StartupTest, GuardEventThatGrantsNothingIsPassedBy) {
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", PayloadBytes(100));
  ASSERT_TRUE(WriteImage(image_, spec));
  SECURITY_DESCRIPTOR descriptor;
  ACL noEntries;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(InitializeAcl(&noEntries, sizeof noEntries, ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &noEntries, FALSE));
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  OwnedHandle planted(CreateEventW(&attributes, TRUE, FALSE, L"Global\\Kxunpack_running"),
                      &CloseHandle);
  ASSERT_NE(planted, nullptr);
  ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  OwnedHandle opened(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"Global\\Kxunpack_running"),
                     &CloseHandle);
  DWORD openError = GetLastError();
  ASSERT_EQ(opened, nullptr) << "the event's access list is not enforced";
  ASSERT_EQ(openError, static_cast<DWORD>(ERROR_ACCESS_DENIED));

  ExpectRanToTheLaunch(Run());
  EXPECT_EQ(WorkFolders().size(), 1u);
}

// A stamp's requiredMB of 0 asks for 200 MB on the volume of the temporary folder. The fixture
// mounted a 201 MiB volume on a drive letter of its own; a filler file leaves just under, then
// just over 200 MiB free.
TEST_F(StartupTest, DefaultRequiredSpaceIs200MBOfTheTempVolume) {
  std::string record;
  ASSERT_TRUE(ReadFileBytes(TestDataDir() + "\\freespace.txt", &record));
  std::smatch found;
  if (std::regex_search(record, found, std::regex("skip=([^\n]*)"))) GTEST_SKIP() << found[1];
  ASSERT_TRUE(std::regex_search(record, found, std::regex("drive=([A-Z]:)")));
  const std::string root = found[1].str() + "\\", filler = root + "filler.bin";
  temp_ = root + "temp";
  RemoveTree(temp_);
  ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", PayloadBytes(100));
  ASSERT_EQ(spec.requiredMB, 0u);
  ASSERT_TRUE(WriteImage(image_, spec));

  const ULONGLONG mb200 = 200ull << 20, page = 4096;
  for (ULONGLONG target : {mb200 - page, mb200 + page}) {
    DeleteFileA(filler.c_str());
    ULONGLONG unfilled = FreeBytes(root);
    ASSERT_GT(unfilled, target);
    ASSERT_TRUE(WriteFileBytes(filler, std::string(unfilled - target, '\0')));
    ASSERT_EQ(FreeBytes(root), target);
    if (target < mb200) {
      EXPECT_EQ(Run(), 130u);
      ExpectOneBox(msg::kNoDiskSpace);
      EXPECT_TRUE(WorkFolders().empty());
    } else {
      ExpectRanToTheLaunch(Run());
      EXPECT_EQ(WorkFolders().size(), 1u);
    }
  }
  RemoveTree(temp_);
  DeleteFileA(filler.c_str());
}

TEST_F(StartupTest, SavesCommandLineAsTyped) {
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", PayloadBytes(64));
  ASSERT_TRUE(WriteImage(image_, spec));
  struct Case {
    std::string args;
  } cases[] = {{"x"}, {"/KXPATH=C:\\Prog /param=abc def"}, {std::string(600, 'L') + " tail"}};
  for (const Case &c : cases) {
    for (const std::string &f : WorkFolders()) RemoveTree(temp_ + "\\" + f);
    ExpectRanToTheLaunch(Run(c.args));
    EXPECT_EQ(WorkFile("ARGSAVE.DAT"), c.args);
  }
}

TEST_F(StartupTest, TempPathTooLongForItsBufferIsRefused) {
  ImageSpec spec;
  spec.payload = PayloadBytes(64);
  ASSERT_TRUE(WriteImage(image_, spec));
  std::string longTemp = temp_ + "\\" + std::string(280, 'd');
  EXPECT_EQ(Run("", longTemp), 127u);
  ExpectOneBox(msg::kNoTempFolder);
}

TEST_F(StartupTest, NoFreeWorkFolderNameFailsWith128) {
  ImageSpec spec;
  spec.payload = PayloadBytes(64);
  ASSERT_TRUE(WriteImage(image_, spec));
  // The fixture took all 10,000 names in this folder.
  std::string taken = TestDataDir() + "\\allnames\\temp";
  ASSERT_TRUE(IsDirectory(taken + "\\KX9999.ins"));
  EXPECT_EQ(Run("", taken), 128u);
  ExpectOneBox(msg::kNoFolderName);
}

// Wine gives every name that is no 8.3 name a short one (for this folder "____~XXX"), so only
// the case with a short name can be run for real; the case without one is a unit test.
TEST_F(StartupTest, TempFolderOutsideTheCodePageIsReachedByItsShortPath) {
  std::string content = PayloadBytes(3000, 6);
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", content);
  ASSERT_TRUE(WriteImage(image_, spec));
  const std::wstring cyrillic = L"\x041f\x0440\x0438\x0432\x0435\x0442";  // "Привет"
  std::wstring folder = Wide(temp_) + L"\\" + cyrillic;
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  std::string utf8(64, '\0');
  utf8.resize(
      WideCharToMultiByte(CP_UTF8, 0, cyrillic.c_str(), -1, &utf8[0], 64, nullptr, nullptr) - 1);
  ExpectRanToTheLaunch(Run("", temp_ + "\\" + utf8 + "\\"));
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\KX*.ins").c_str(), &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::wstring work = folder + L"\\" + entry.cFileName;
  EXPECT_FALSE(FindNextFileW(find, &entry));
  FindClose(find);
  HANDLE member = CreateFileW((work + L"\\PAYLOAD.BIN").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(member, INVALID_HANDLE_VALUE);
  std::string unpacked(content.size() + 1, '\0');
  DWORD got = 0;
  ReadFile(member, &unpacked[0], static_cast<DWORD>(unpacked.size()), &got, nullptr);
  CloseHandle(member);
  unpacked.resize(got);
  EXPECT_EQ(unpacked, content);
  // Nothing under the temporary folder besides the real one.
  EXPECT_EQ(FolderNames(temp_).size(), 1u);
}

// A name someone made first, whatever it is, is never the work folder: the run draws another.
// Each kind of name is planted where the run draws first in each second of a window around
// the run, the other two kinds at the next draws.
TEST_F(StartupTest, NamesTakenBeforeTheRunAreNeverUsed) {
  std::string content = PayloadBytes(2000, 8);
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", content);
  ASSERT_TRUE(WriteImage(image_, spec));
  std::string outside = root_ + "\\outside";
  ASSERT_TRUE(CreateDirectoryA(outside.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(outside + "\\marker.txt", "outside"));
  enum Kind { kFolder, kFile, kLink };
  for (int firstKind : {kFolder, kFile, kLink}) {
    // Links left by an earlier run that failed go on the Unix side too.
    ASSERT_TRUE(RunUnixShell("rm -rf '" + UnixPath(temp_) + "'"));
    ASSERT_TRUE(WaitUntil([&] { return !Exists(temp_); }));
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    std::map<std::string, int> planted;
    std::string links, unlinks;
    time_t now = time(nullptr);
    for (time_t t = now - 1; t <= now + 10; ++t) {
      std::vector<std::string> names = FirstDrawnNames(t, 3);
      for (int i = 0; i < 3; ++i) {
        if (planted.count(names[i])) continue;
        int kind = (firstKind + i) % 3;
        planted[names[i]] = kind;
        std::string path = temp_ + "\\" + names[i];
        if (kind == kFolder) {
          ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
          ASSERT_TRUE(WriteFileBytes(path + "\\marker.txt", "planted"));
        } else if (kind == kFile) {
          ASSERT_TRUE(WriteFileBytes(path, "planted file"));
        } else {
          links += "ln -s '" + UnixPath(outside) + "' '" + UnixPath(path) + "'; ";
          unlinks += "rm -f '" + UnixPath(path) + "'; ";
        }
      }
    }
    ASSERT_TRUE(RunUnixShell(links));
    for (const auto &p : planted) {
      if (p.second == kLink) {
        ASSERT_TRUE(WaitUntil([&] { return IsDirectory(temp_ + "\\" + p.first); })) << p.first;
      }
    }

    ExpectRanToTheLaunch(Run());
    ASSERT_LE(time(nullptr), now + 10) << "the run outlasted the planted window";
    std::vector<std::string> fresh;
    for (const std::string &name : WorkFolders())
      if (!planted.count(name)) fresh.push_back(name);
    ASSERT_EQ(fresh.size(), 1u) << firstKind;
    std::string unpacked;
    EXPECT_TRUE(ReadFileBytes(temp_ + "\\" + fresh[0] + "\\PAYLOAD.BIN", &unpacked));
    EXPECT_EQ(unpacked, content);
    for (const auto &p : planted) {
      std::string path = temp_ + "\\" + p.first, bytes;
      if (p.second == kFolder) {
        EXPECT_EQ(FolderNames(path), std::vector<std::string>{"marker.txt"});
      }
      if (p.second == kFile) {
        EXPECT_TRUE(ReadFileBytes(path, &bytes));
        EXPECT_EQ(bytes, "planted file");
      }
    }
    EXPECT_EQ(FolderNames(outside), std::vector<std::string>{"marker.txt"});
    // Wine removes no link to a folder: the Unix side does.
    ASSERT_TRUE(RunUnixShell(unlinks));
    for (const auto &p : planted) {
      if (p.second == kLink) {
        ASSERT_TRUE(WaitUntil([&] { return !IsDirectory(temp_ + "\\" + p.first); }));
      }
    }
  }
}

// The image is held from before the guard's event until its payload is copied, and no longer:
// a rename tried again and again from the moment the guard exists succeeds only once the work
// folder holds the whole payload, yet while the run still waits for its inner installer. Then
// the image's place can be taken by another one, and the payload that runs is still its own.
// The stage.exe double holds the run until released.
TEST_F(StartupTest, ImageIsHeldUntilItsPayloadIsCopiedAndFreedWhileTheInstallerRuns) {
  std::string release = root_ + "\\release";
  auto imageWith = [&](const std::string &content) {
    auto members = HeldStage(release);
    members.push_back({"PAYLOAD.BIN", content});
    ImageSpec spec;
    spec.payload = StoredArchive(members);
    return spec;
  };
  std::string own = PayloadBytes(4000, 11), other = PayloadBytes(4000, 12);
  ImageSpec ownSpec = imageWith(own);
  ASSERT_TRUE(WriteImage(image_, ownSpec));
  std::string otherImage = root_ + "\\other.exe";
  ASSERT_TRUE(WriteImage(otherImage, imageWith(other)));

  HeldRun run;
  Child &child = run.child;
  ASSERT_TRUE(Start(image_, "", {{"TEMP", temp_}, {"TMP", temp_}}, "", &child));
  HANDLE guard = nullptr;
  ASSERT_TRUE(WaitWhileRunning(child, [&] {
    return (guard = OpenEventA(SYNCHRONIZE, FALSE, "Global\\Kxunpack_running")) != nullptr;
  })) << "the run ended before its guard was seen";
  CloseHandle(guard);

  // Whole: the copy at its full length, or already unpacked (it is deleted after that).
  auto payloadCopied = [&] {
    auto folders = WorkFolders();
    if (folders.size() != 1) return false;
    std::string work = temp_ + "\\" + folders[0] + "\\";
    WIN32_FILE_ATTRIBUTE_DATA copy;
    if (GetFileAttributesExA((work + "KXDATA.ARJ").c_str(), GetFileExInfoStandard, &copy))
      return copy.nFileSizeHigh == 0 && copy.nFileSizeLow == ownSpec.payload.size();
    return Exists(work + "stage.exe");
  };
  std::string moved = root_ + "\\moved.exe";
  bool copiedWhenMoved = false;
  ASSERT_TRUE(WaitWhileRunning(child, [&] {
    if (!MoveFileA(image_.c_str(), moved.c_str())) return false;
    copiedWhenMoved = payloadCopied();
    return true;
  })) << "the image stayed held while the run waited for its installer";
  EXPECT_TRUE(copiedWhenMoved) << "the image was let go before its payload was copied";
  EXPECT_TRUE(MoveFileExA(otherImage.c_str(), image_.c_str(), MOVEFILE_REPLACE_EXISTING));

  ASSERT_TRUE(WriteFileBytes(release, ""));
  EXPECT_EQ(WaitExit(child, 30000), 0u);
  EXPECT_TRUE(Exists(TheWorkFolder() + "\\stage_report.txt"));  // the payload ran
  EXPECT_EQ(WorkFile("PAYLOAD.BIN"), own);
}

}  // namespace
