#include "arj_test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "arj/cpu_features.h"
#include "arj/crc32.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

namespace arjtest {
namespace {

// Under Wine the Unix path of the test data is reachable as Z: plus the path.
std::string PlatformPath(const std::string &unix_path) {
#ifdef _WIN32
  std::string p = "Z:" + unix_path;
  for (char &c : p) {
    if (c == '/') c = '\\';
  }
  return p;
#else
  return unix_path;
#endif
}

std::string TestDataRoot() {
  const char *root = std::getenv("KX_TEST_DATA");
  if (!root || !*root) {
    ADD_FAILURE() << "KX_TEST_DATA is not set";
    return ".";
  }
  return PlatformPath(root);
}

void MakeDir(const std::string &path) {
#ifdef _WIN32
  _mkdir(path.c_str());
#else
  mkdir(path.c_str(), 0777);
#endif
}

void RemoveTree(const std::string &path) {
#ifdef _WIN32
  std::string cmd = "cmd /c rmdir /s /q \"" + path + "\" >NUL 2>NUL";
  std::system(cmd.c_str());
#else
  DIR *d = opendir(path.c_str());
  if (!d) {
    unlink(path.c_str());
    return;
  }
  while (const dirent *e = readdir(d)) {
    const std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    RemoveTree(path + "/" + n);
  }
  closedir(d);
  rmdir(path.c_str());
#endif
}

}  // namespace

std::string Join(const std::string &dir, const std::string &name) {
#ifdef _WIN32
  return dir + "\\" + name;
#else
  return dir + "/" + name;
#endif
}

std::string FixtureDir() { return Join(TestDataRoot(), "arj"); }

std::string ScratchDir(const std::string &name) {
  const std::string root = Join(TestDataRoot(), "arj-scratch");
  MakeDir(TestDataRoot());
  MakeDir(root);
  const std::string dir = Join(root, name);
  RemoveTree(dir);
  MakeDir(dir);
  return dir;
}

void MakeTestScratch(const std::string &prefix, std::string *dir, std::string *archive,
                     std::string *out) {
  *dir = ScratchDir(prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  *archive = Join(*dir, "test.arj");
  *out = Join(*dir, "out.bin");
}

bool ReadFile(const std::string &path, Bytes *data) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  data->clear();
  std::uint8_t buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
  std::fclose(f);
  return true;
}

void WriteFile(const std::string &path, const Bytes &data) {
  FILE *f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!data.empty()) {
    EXPECT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
  }
  std::fclose(f);
}

bool FileExists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void RemoveFile(const std::string &path) { std::remove(path.c_str()); }

Bytes AsWrittenText(const Bytes &data) {
#ifdef _WIN32
  Bytes out;
  for (std::uint8_t b : data) {
    if (b == '\n') out.push_back('\r');
    out.push_back(b);
  }
  return out;
#else
  return data;
#endif
}

std::uint32_t Crc(const Bytes &data) { return arj::Crc32(data.data(), data.size()); }

void BitWriter::Put(std::uint32_t value, unsigned bits) {
  for (unsigned i = bits; i-- > 0;) {
    if (used_ == 0) out_.push_back(0);
    if ((value >> i) & 1u) out_.back() |= static_cast<std::uint8_t>(0x80u >> used_);
    used_ = (used_ + 1) & 7u;
  }
}

Bytes BitWriter::Finish() const { return out_; }

void ForEachLoopForm(const std::function<void()> &check) {
  static constexpr struct {
    arj::LoopForm form;
    const char *name;
  } kForms[] = {{arj::LoopForm::kBaseline, "baseline loops"},
                {arj::LoopForm::kSse2, "SSE2 loops"},
                {arj::LoopForm::kBmi2, "BMI2 loops"}};
  for (const auto &f : kForms) {
    if (!arj::ForceLoopForm(f.form)) continue;
    SCOPED_TRACE(f.name);
    EXPECT_EQ(arj::ChosenLoopForm(), f.form);
    check();
  }
  arj::ForceLoopForm(arj::LoopForm::kAuto);
}

}  // namespace arjtest
