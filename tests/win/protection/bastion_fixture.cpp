#include "bastion_fixture.h"

#include "support/installer_view.h"
#include "win/launch/test_folders.h"

using namespace testing_folders;

namespace {

const char kLegacyKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KX32.EXE";

void DeleteLegacyKeys() {
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kLegacyKey, kxtest::kInstallerView, 0);
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kLegacyKey, KEY_WOW64_64KEY, 0);
}

// The installer restricts implicit library loads to the system folder at start; so do we.
class RestrictDllSearch : public ::testing::Environment {
 public:
  void SetUp() override { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }
};
::testing::Environment *const kRestrict =
    ::testing::AddGlobalTestEnvironment(new RestrictDllSearch);

}  // namespace

std::string ReplaceAll(std::string text, const std::string &from, const std::string &to) {
  if (from.empty()) return text;
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

void BastionTest::SetUp() {
  // The probe must find no product unless a test says otherwise.
  DeleteLegacyKeys();
  ASSERT_FALSE(Loaded("bnstub.dll"));
  ASSERT_FALSE(Loaded("bnapi.dll"));
}

void BastionTest::TearDown() {
  if (productMarked_) DeleteLegacyKeys();
  // Every path releases both libraries again.
  EXPECT_FALSE(Loaded("bnstub.dll"));
  EXPECT_FALSE(Loaded("bnapi.dll"));
}

void BastionTest::MakeWorkFolder(const std::string &control) {
  const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
  work_ = FreshFolder(std::string("protection\\") + info->name() + "\\KX0101.ins");
  logPath_ = work_ + "bn_log.txt";
  ASSERT_TRUE(CopyDouble("bnstub.dll", work_ + "bnstub.dll"));
  ASSERT_TRUE(CopyDouble("bnapi.dll", work_ + "bnapi.dll"));
  WriteControl(control);
}

void BastionTest::WriteControl(const std::string &control) {
  WriteText(work_ + "bn_control.txt", control);
}

std::string BastionTest::Control() const { return ReadText(work_ + "bn_control.txt"); }

std::vector<std::string> BastionTest::Log() const {
  std::string folder = work_.substr(0, work_.size() - 1);
  char image[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, image, MAX_PATH);
  std::vector<std::string> lines;
  for (std::string line : ReadLines(logPath_)) {
    line = ReplaceAll(line, image, "<EXE>");
    line = ReplaceAll(line, folder, "<W>");
    line = ReplaceAll(line, " " + std::to_string(GetCurrentProcessId()) + " ", " <pid> ");
    lines.push_back(line);
  }
  return lines;
}

void BastionTest::ExpectCall(const Call &call, const std::string &control, int result, int error,
                             const std::vector<std::string> &log) {
  MakeWorkFolder(control);
  int reported = -1;  // a value no call leaves by chance
  EXPECT_EQ(result, call(work_.c_str(), &reported));
  EXPECT_EQ(error, reported);
  EXPECT_EQ(log, Log());
}

std::string BastionTest::OwnFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.rfind('\\') + 1);
}

void BastionTest::InstallPartial(const char *builtName, const char *asName) {
  ASSERT_TRUE(CopyFileA((OwnFolder() + builtName).c_str(), (work_ + asName).c_str(), FALSE));
}

void BastionTest::MarkProductInstalled() {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLegacyKey, 0, nullptr, 0,
                            KEY_WRITE | kxtest::kInstallerView, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  productMarked_ = true;
}
