// The real program, started from real images with its own TEMP: every start-up message and
// exit code, the work folder, the payload copy and the saved command line.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>

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
    for (const std::string &name : ListDir(temp_))
      if (std::regex_match(name, std::regex("KX[0-9]{4}\\.ins"))) found.push_back(name);
    return found;
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

// The payload copy is unpacked (its member's CRC checked) and then deleted; the member
// arriving whole shows the copy was exact.
TEST_F(StartupTest, CopiesPayloadIntoFreshWorkFolder) {
  std::string content = PayloadBytes(3 * 4096 + 123);
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", content);
  ASSERT_TRUE(WriteImage(image_, spec));
  ExpectRanToTheLaunch(Run());
  auto folders = WorkFolders();
  ASSERT_EQ(folders.size(), 1u);
  std::string work = temp_ + "\\" + folders[0];
  std::string unpacked;
  ASSERT_TRUE(ReadFileBytes(work + "\\PAYLOAD.BIN", &unpacked));
  EXPECT_EQ(unpacked, content);
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
  auto folders = WorkFolders();
  ASSERT_EQ(folders.size(), 1u);
  std::string unpacked;
  ASSERT_TRUE(ReadFileBytes(temp_ + "\\" + folders[0] + "\\PAYLOAD.BIN", &unpacked));
  EXPECT_EQ(unpacked, content);
}

TEST_F(StartupTest, SignedImageIsAccepted) {
  // Signed after building: a certificate table follows the payload.
  std::string dir = TestDataDir() + "\\signed";
  std::string content;
  ASSERT_TRUE(ReadFileBytes(dir + "\\content.txt", &content));
  ASSERT_TRUE(CopyFileA((dir + "\\signed.exe").c_str(), image_.c_str(), FALSE));
  ExpectRanToTheLaunch(Run("/KXPATH=C:\\P"));
  auto folders = WorkFolders();
  ASSERT_EQ(folders.size(), 1u);
  std::string unpacked;
  ASSERT_TRUE(ReadFileBytes(temp_ + "\\" + folders[0] + "\\content.txt", &unpacked));
  EXPECT_EQ(unpacked, content);
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
    auto folders = WorkFolders();
    ASSERT_EQ(folders.size(), 1u);
    std::string saved;
    ASSERT_TRUE(ReadFileBytes(temp_ + "\\" + folders[0] + "\\ARGSAVE.DAT", &saved));
    EXPECT_EQ(saved, c.args);
  }
}

TEST_F(StartupTest, TempWithAndWithoutTrailingBackslash) {
  ImageSpec spec;
  spec.payload = StoredArchive("PAYLOAD.BIN", PayloadBytes(64));
  ASSERT_TRUE(WriteImage(image_, spec));
  ExpectRanToTheLaunch(Run("", temp_));
  ExpectRanToTheLaunch(Run("", temp_ + "\\"));
  EXPECT_EQ(WorkFolders().size(), 2u);
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

}  // namespace
