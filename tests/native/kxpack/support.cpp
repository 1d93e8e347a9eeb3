#include "tests/native/kxpack/support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/noise.h"

namespace fs = std::filesystem;

namespace kxtest {

namespace {

// Starts args[0] with its input from /dev/null, its output to outPath and its errors to
// errPath (a file, or a terminal), in cwd when one is given.
pid_t Spawn(const std::vector<std::string> &args, const std::string &outPath,
            const std::string &errPath, const std::string &cwd = "") {
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// The exit code of a child that ended normally, else -1.
int ExitCodeOf(pid_t pid) {
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) return WEXITSTATUS(status);
  return -1;
}

std::vector<std::string> KxpackArgs(const std::vector<std::string> &args) {
  std::vector<std::string> all{KXPACK_BIN};
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

}  // namespace

RunResult Run(const std::vector<std::string> &args, const std::string &cwd) {
  RunResult r;
  std::string base = FreshFolder() + "/../.run-" + std::to_string(getpid());
  std::string outPath = base + ".out", errPath = base + ".err";
  r.exitCode = ExitCodeOf(Spawn(args, outPath, errPath, cwd));
  r.out = ReadFile(outPath);
  r.err = ReadFile(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return r;
}

RunResult Kxpack(const std::vector<std::string> &args) { return Run(KxpackArgs(args)); }

RunResult KxpackAtATerminal(const std::vector<std::string> &args) {
  RunResult r;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
      fcntl(master, F_SETFD, FD_CLOEXEC) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return r;
  }
  const std::string outPath = FreshFolder() + "/../.tty-" + std::to_string(getpid()) + ".out";
  pid_t pid = Spawn(KxpackArgs(args), outPath, ptsname(master));
  // Read until the last holder of the terminal's other end has gone.
  char buf[4096];
  for (;;) {
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;
    r.err.append(buf, static_cast<std::size_t>(n));
  }
  r.exitCode = ExitCodeOf(pid);
  close(master);
  r.out = ReadFile(outPath);
  std::remove(outPath.c_str());
  return r;
}

std::string FreshFolder() {
  const char *root = std::getenv("KX_TEST_DATA");
  const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "none";
  fs::path dir = fs::path(root && *root ? root : "/tmp/kx_test_data") / "kxpack" / name;
  static std::string made;  // each test starts from an empty folder, once
  if (made != dir.string()) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    made = dir.string();
  }
  return dir.string();
}

void WriteFile(const std::string &path, const std::string &data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(data.data(), std::streamsize(data.size()));
  ASSERT_TRUE(f.good()) << path;
}

std::string ReadFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool Exists(const std::string &path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

std::vector<std::string> ListFolder(const std::string &dir) {
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::uint32_t Crc32(const std::string &data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutLe16(std::string *s, std::size_t at, std::uint32_t v) {
  (*s)[at] = char(v & 0xFF);
  (*s)[at + 1] = char((v >> 8) & 0xFF);
}
void PutLe32(std::string *s, std::size_t at, std::uint32_t v) {
  PutLe16(s, at, v & 0xFFFF);
  PutLe16(s, at + 2, v >> 16);
}
std::uint32_t GetLe16(const std::string &s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8;
}
std::uint32_t GetLe32(const std::string &s, std::size_t at) {
  return GetLe16(s, at) | GetLe16(s, at + 2) << 16;
}

std::string TextContent(unsigned seed, std::size_t size) {
  static const char *const kWords[] = {"setup",    "file",    "module", "driver", "update",
                                       "registry", "service", "config", "data",   "table"};
  std::string s;
  unsigned x = seed * 2654435761u + 12345u;
  while (s.size() < size) {
    x = x * 1103515245u + 12345u;
    s += kWords[(x >> 16) % 10];
    s += (x >> 8) % 7 == 0 ? '\n' : ' ';
  }
  s.resize(size);
  return s;
}

std::string NoiseContent(unsigned seed, std::size_t size) { return NoiseBytes(seed, size); }

void MakeArj(const std::string &dir, const std::string &archive,
             const std::vector<std::string> &files, int method) {
  ASSERT_STRNE(KX_ARJ_ARCHIVER, "") << "the arj archiver is not installed";
  std::vector<std::string> args{
      KX_ARJ_ARCHIVER, "a", "-y", "-e", "-i", "-m" + std::to_string(method), archive};
  args.insert(args.end(), files.begin(), files.end());
  RunResult r = Run(args, dir);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
}

std::vector<MemberSpan> MemberSpans(const std::string &a) {
  std::vector<MemberSpan> spans;
  std::size_t pos = 0;
  bool main = true;
  while (pos + 4 <= a.size() && GetLe16(a, pos) == 0xEA60) {
    std::size_t basic = GetLe16(a, pos + 2);
    if (basic == 0) break;
    std::size_t at = pos + 4 + basic + 4;
    while (at + 2 <= a.size() && GetLe16(a, at) != 0) at += 2 + GetLe16(a, at) + 4;
    at += 2;
    if (main) {
      main = false;
      pos = at;
      continue;
    }
    MemberSpan m;
    m.header = pos;
    m.data = at;
    m.packed = GetLe32(a, pos + 4 + 12);
    spans.push_back(m);
    pos = at + m.packed;
  }
  return spans;
}

std::string PayloadOf(const std::string &image) {
  if (image.size() < 0x28) return std::string();
  const std::size_t offset = GetLe32(image, 0x20), length = GetLe32(image, 0x24);
  return offset <= image.size() ? image.substr(offset, length) : std::string();
}

std::vector<std::vector<std::string>> Words(const std::string &text) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::vector<std::string> words;
    std::string w;
    while (ls >> w) words.push_back(w);
    lines.push_back(words);
  }
  return lines;
}

void ExpectRefused(const RunResult &r, const std::string &reason, const std::string &outFolder) {
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find(reason), std::string::npos) << "stderr: " << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_TRUE(ListFolder(outFolder).empty()) << "output or temporary file left in " << outFolder;
}

void ExpectUsageError(const RunResult &r, const std::string &reason, const std::string &outFolder) {
  EXPECT_EQ(r.exitCode, 2) << r.err;
  const std::size_t line = r.err.find('\n');
  EXPECT_NE(r.err.substr(0, line).find(reason), std::string::npos) << "stderr: " << r.err;
  EXPECT_EQ(r.err.compare(0, 7, "kxpack "), 0) << r.err;
  EXPECT_NE(r.err.find("(kxpack help "), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
  if (!outFolder.empty()) {
    EXPECT_TRUE(ListFolder(outFolder).empty()) << "output or temporary file left in " << outFolder;
  }
}

}  // namespace kxtest
