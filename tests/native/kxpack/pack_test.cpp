// kxpack pack, driven as a subprocess: the archives it makes extract byte-exact through our
// engine and through the arj archiver and 7-Zip as black boxes, carry the header fields the
// engine accepts, and every refused input leaves no archive behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "tests/native/kxpack/pe_writer.h"
#include "tests/native/kxpack/support.h"

namespace {

using kxtest::GetLe16;
using kxtest::GetLe32;
using kxtest::Kxpack;
using kxtest::ReadFile;
using kxtest::RunResult;
using kxtest::WriteFile;

constexpr std::size_t kWindow = 26624;  // the decoders' sliding window

// 2024-01-15 12:00:00 UTC and its MS-DOS date and time.
constexpr const char *kEpoch = "1705320000";
constexpr std::uint32_t kEpochDos = (44u << 25 | 1u << 21 | 15u << 16) | (12u << 11);

// Sets an environment variable for the programs a test starts, and restores it after.
class ScopedEnv {
 public:
  ScopedEnv(const char *name, const char *value) : name_(name) {
    const char *old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char *name_;
  bool had_ = false;
  std::string old_;
};

// Contents that exercise the packers: edges of the window, long runs, the longest matches
// and the far positions, and bytes that do not compress (more than the archive writer
// gathers before it writes, so that its archive goes out in pieces).
std::map<std::string, std::string> RoundTripFiles() {
  std::map<std::string, std::string> f;
  f["EMPTY.DAT"] = "";
  f["ONE.DAT"] = "x";
  for (std::size_t n : {kWindow - 1, kWindow, kWindow + 1})
    f["W" + std::to_string(n) + ".TXT"] = kxtest::TextContent(unsigned(n), n);
  f["RUNS.BIN"] = std::string(70000, 'A') + std::string(3000, '\0');
  // A block repeated at the far end of the window: matches of every length up to the longest.
  const std::string block = kxtest::NoiseContent(5, kWindow - 300);
  f["FAR.BIN"] = block + kxtest::TextContent(6, 200) + block;
  f["NOISE.BIN"] = kxtest::NoiseContent(7, 1200000);
  f["TEXT.TXT"] = kxtest::TextContent(8, 200000);
  return f;
}

struct Header {
  unsigned firstPart, archiverVersion, minVersion, host, flags, method, fileType;
  std::uint32_t time, packed, unpacked, crc;
  std::string name;
};

// The headers of an archive made without leading bytes: the main header first.
std::vector<Header> Headers(const std::string &a) {
  std::vector<Header> out;
  std::size_t pos = 0;
  while (pos + 4 <= a.size() && GetLe16(a, pos) == 0xEA60 && GetLe16(a, pos + 2) != 0) {
    const std::size_t basic = pos + 4, size = GetLe16(a, pos + 2);
    EXPECT_EQ(GetLe32(a, basic + size), kxtest::Crc32(a.substr(basic, size))) << "header CRC";
    Header h;
    h.firstPart = std::uint8_t(a[basic]);
    h.archiverVersion = std::uint8_t(a[basic + 1]);
    h.minVersion = std::uint8_t(a[basic + 2]);
    h.host = std::uint8_t(a[basic + 3]);
    h.flags = std::uint8_t(a[basic + 4]);
    h.method = std::uint8_t(a[basic + 5]);
    h.fileType = std::uint8_t(a[basic + 6]);
    h.time = GetLe32(a, basic + 8);
    h.packed = GetLe32(a, basic + 12);
    h.unpacked = GetLe32(a, basic + 16);
    h.crc = GetLe32(a, basic + 20);
    h.name = a.c_str() + basic + h.firstPart;
    EXPECT_EQ(GetLe16(a, basic + size + 4), 0u) << "extended headers";
    pos = basic + size + 4 + 2 + (out.empty() ? 0 : h.packed);
    out.push_back(h);
  }
  EXPECT_EQ(a.substr(pos), std::string("\x60\xEA\0\0", 4)) << "end marker last";
  return out;
}

class PackTest : public ::testing::TestWithParam<std::vector<std::string>> {
 protected:
  void SetUp() override {
    dir_ = kxtest::FreshFolder();
    src_ = dir_ + "/src";
    kxtest::Run({"/bin/mkdir", "-p", src_, dir_ + "/out"});
  }
  std::string Put(const std::string &name, const std::string &data) {
    WriteFile(src_ + "/" + name, data);
    return src_ + "/" + name;
  }
  RunResult Pack(const std::vector<std::string> &files, std::vector<std::string> options = {}) {
    std::vector<std::string> args{"pack", "--output", archive_};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), files.begin(), files.end());
    return Kxpack(args);
  }
  // A refused pack leaves no archive or temporary file.
  void ExpectRefused(const RunResult &r, const std::string &reason) {
    kxtest::ExpectRefused(r, reason, dir_ + "/out");
  }
  void ExpectUsageError(const RunResult &r, const std::string &reason) {
    kxtest::ExpectUsageError(r, reason, dir_ + "/out");
  }
  std::string dir_, src_, archive_ = kxtest::FreshFolder() + "/out/PACKED.ARJ";
};

TEST_P(PackTest, EveryExtractorGetsBackEveryByte) {
  const std::map<std::string, std::string> files = RoundTripFiles();
  std::vector<std::string> paths;
  for (const auto &f : files) paths.push_back(Put(f.first, f.second));
  std::vector<std::string> options = GetParam();
  options.insert(options.end(), {"--threads", "7"});
  RunResult r = Pack(paths, options);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Members packed side by side or one after another: the same archive.
  const std::string single = dir_ + "/single/PACKED.ARJ";
  options.back() = "1";
  options.insert(options.begin(), {"pack", "--output", single});
  options.insert(options.end(), paths.begin(), paths.end());
  kxtest::Run({"/bin/mkdir", "-p", dir_ + "/single"});
  ASSERT_EQ(Kxpack(options).exitCode, 0);
  EXPECT_TRUE(ReadFile(single) == ReadFile(archive_)) << "one thread and seven differ";

  RunResult test = Kxpack({"test", archive_});
  EXPECT_EQ(test.exitCode, 0) << test.out << test.err;
  ASSERT_EQ(Kxpack({"extract", archive_, dir_ + "/ours"}).exitCode, 0);
  ASSERT_STRNE(KX_ARJ_ARCHIVER, "") << "the arj archiver is not installed";
  RunResult arjTest = kxtest::Run({KX_ARJ_ARCHIVER, "t", "-y", archive_});
  EXPECT_EQ(arjTest.exitCode, 0) << arjTest.out;
  kxtest::Run({"/bin/mkdir", "-p", dir_ + "/arj"});
  RunResult arjX = kxtest::Run({KX_ARJ_ARCHIVER, "x", "-y", archive_}, dir_ + "/arj");
  EXPECT_EQ(arjX.exitCode, 0) << arjX.out;
  ASSERT_STRNE(KX_7ZZ, "") << "7-Zip (7zz) is not installed";
  RunResult seven = kxtest::Run({KX_7ZZ, "t", archive_});
  EXPECT_EQ(seven.exitCode, 0) << seven.out << seven.err;
  EXPECT_NE(seven.out.find("Everything is Ok"), std::string::npos) << seven.out;

  for (const auto &f : files) {
    EXPECT_EQ(ReadFile(dir_ + "/ours/" + f.first), f.second) << "engine: " << f.first;
    EXPECT_EQ(ReadFile(dir_ + "/arj/" + f.first), f.second) << "arj: " << f.first;
  }
  // Nothing is packed into more bytes than it had.
  for (const Header &h : Headers(ReadFile(archive_))) {
    if (h.method != 0) {
      EXPECT_LT(h.packed, h.unpacked) << h.name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, PackTest,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"--method", "0"},
                                           std::vector<std::string>{"--method", "1"},
                                           std::vector<std::string>{"--method", "1", "--best"},
                                           std::vector<std::string>{"--method", "4"},
                                           std::vector<std::string>{"--method", "4", "--best"}));

using PackFieldsTest = PackTest;

TEST_F(PackFieldsTest, HeadersCarryWhatTheEngineAcceptsInTheOrderGiven) {
  ScopedEnv epoch("SOURCE_DATE_EPOCH", kEpoch);
  const std::string text = kxtest::TextContent(1, 40000), noise = kxtest::NoiseContent(2, 3000);
  ASSERT_EQ(Pack({Put("b.txt", text), Put("A.BIN", noise), Put("c", "")}).exitCode, 0);
  std::vector<Header> h = Headers(ReadFile(archive_));
  ASSERT_EQ(h.size(), 4u);
  EXPECT_EQ(h[0].name, "PACKED.ARJ");
  EXPECT_EQ(h[0].fileType, 2u) << "main header";
  const std::vector<std::string> names{"b.txt", "A.BIN", "c"};
  const std::vector<std::string> data{text, noise, ""};
  for (std::size_t i = 0; i < h.size(); ++i) {
    SCOPED_TRACE(h[i].name);
    EXPECT_EQ(h[i].firstPart, 30u);
    EXPECT_GE(h[i].archiverVersion, 2u);
    EXPECT_LE(h[i].minVersion, 3u);
    EXPECT_EQ(h[i].host, 0u);
    EXPECT_EQ(h[i].flags, 0u);
    EXPECT_EQ(h[i].time, kEpochDos);
    if (i == 0) continue;
    EXPECT_EQ(h[i].name, names[i - 1]);
    EXPECT_EQ(h[i].fileType, 0u);
    EXPECT_TRUE(h[i].method == 0 || h[i].method == 1) << h[i].method;
    EXPECT_EQ(h[i].unpacked, data[i - 1].size());
    EXPECT_EQ(h[i].crc, kxtest::Crc32(data[i - 1]));
  }
  EXPECT_EQ(h[2].method, 0u) << "noise does not get smaller: stored";
  EXPECT_EQ(h[2].packed, noise.size());
}

TEST_F(PackFieldsTest, MemberTimesComeFromTheFiles) {
  const std::string path = Put("OLD.TXT", "old");
  ASSERT_EQ(kxtest::Run({"/usr/bin/touch", "-d", "1999-12-31 23:59:58 UTC", path}).exitCode, 0);
  ASSERT_EQ(Pack({path}).exitCode, 0);
  const std::uint32_t dos = (19u << 25 | 12u << 21 | 31u << 16) | (23u << 11 | 59u << 5 | 29u);
  EXPECT_EQ(Headers(ReadFile(archive_)).at(1).time, dos);
  EXPECT_EQ(Headers(ReadFile(archive_)).at(0).time, dos) << "the main header: newest member";
  // Moments the MS-DOS form cannot hold become its first and its last.
  const std::uint32_t first = 1u << 21 | 1u << 16,
                      last = (127u << 25 | 12u << 21 | 31u << 16) | (23u << 11 | 59u << 5 | 29u);
  for (const auto &c : {std::make_pair("0", first), std::make_pair("7258118400", last)}) {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", c.first);  // 1970 and 2200
    kxtest::Run({"/bin/rm", "-f", archive_});
    ASSERT_EQ(Pack({path}).exitCode, 0);
    EXPECT_EQ(Headers(ReadFile(archive_)).at(1).time, c.second) << c.first;
  }
}

TEST_F(PackFieldsTest, RefusesNamesTheInstallerCouldNotUnpack) {
  kxtest::Run({"/bin/mkdir", "-p", src_ + "/other"});
  const std::string a = Put("setup.ini", "a");
  WriteFile(src_ + "/other/SETUP.INI", "b");
  ExpectRefused(Pack({a, src_ + "/other/SETUP.INI"}), "given twice");
  ExpectRefused(Pack({Put("CON", "x")}), "not a safe file name");
  ExpectRefused(Pack({Put("aux.txt", "x")}), "not a safe file name");
  ExpectRefused(Pack({Put("name.", "x")}), "not a safe file name");
  ExpectRefused(Pack({Put("a\\b", "x")}), "not a safe file name");
  ExpectRefused(Pack({Put("caf\xC3\xA9.txt", "x")}), "not plain ASCII");
}

TEST_F(PackFieldsTest, RefusesInputsItCannotTake) {
  ExpectRefused(Pack({src_ + "/missing.txt"}), "cannot read");
  ExpectRefused(Pack({src_}), "cannot read");
  // A pipe under the name is refused at once: opening it must not wait for a writer.
  const std::string pipe = src_ + "/PIPE.TXT";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  ExpectRefused(Pack({pipe}), "cannot read");
  if (geteuid() != 0) {  // permissions do not stop the superuser
    const std::string locked = Put("LOCKED.TXT", "x");
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    ExpectRefused(Pack({locked}), "cannot read");
  }
  // A sparse file: 2 GiB on paper, nothing on disk.
  const std::string big = Put("BIG.BIN", "");
  ASSERT_EQ(truncate(big.c_str(), 0x80000000ll), 0);
  ExpectRefused(Pack({Put("SMALL.TXT", "x"), big}), "2 GiB or more");
  // Read ahead on many threads, the inputs still fail in the order given.
  std::vector<std::string> many;
  for (int i = 0; i < 12; ++i)
    many.push_back(Put("F" + std::to_string(i) + ".TXT", kxtest::TextContent(i, 30000)));
  many.insert(many.begin() + 9, src_ + "/missing.txt");
  many.push_back(src_ + "/F3.TXT");
  ExpectRefused(Pack(many, {"--threads", "4"}), "cannot read " + src_ + "/missing.txt");
  many.erase(many.begin() + 9);
  ExpectRefused(Pack(many, {"--threads", "4"}), src_ + "/F3.TXT: ");
  for (const char *threads : {"0", "65", "two"})
    ExpectUsageError(Pack({Put("M.TXT", "x")}, {"--threads", threads}),
                     "kxpack pack: --threads takes 1 to 64");
  ExpectUsageError(Pack({Put("M.TXT", "x")}, {"--method", "2"}), "--method takes 0, 1 or 4");
  ExpectUsageError(Pack({Put("M.TXT", "x")}, {"--method", "01x"}), "--method takes 0, 1 or 4");
  ExpectUsageError(Pack({}), "expects FILE...");
  ExpectUsageError(Pack({Put("M.TXT", "x")}, {"--fast"}), "unknown option --fast");
  ExpectUsageError(Kxpack({"pack", Put("M.TXT", "x")}), "--output is required");
  ScopedEnv epoch("SOURCE_DATE_EPOCH", "yesterday");
  ExpectRefused(Pack({Put("M.TXT", "x")}), "SOURCE_DATE_EPOCH");
}

// Every long command shows its progress line on a terminal, and nothing else changes: the
// same stdout, the same files, the same exit code; --quiet and a stderr that is not a
// terminal show nothing.
TEST_F(PackFieldsTest, ProgressShowsOnATerminalAndChangesNothingElse) {
  std::vector<std::string> files;
  for (int i = 0; i < 6; ++i)
    files.push_back(Put("F" + std::to_string(i) + ".TXT", kxtest::TextContent(i, 50000)));
  kxtest::Run({"/bin/mkdir", "-p", dir_ + "/tree/IN.ARJ", dir_ + "/tty", dir_ + "/pipe"});
  for (const std::string &f : files) {
    const std::string name = f.substr(f.rfind('/') + 1);
    WriteFile(dir_ + "/tree/IN.ARJ/" + name, ReadFile(f));
  }
  WriteFile(dir_ + "/stub.exe", kxtest::MakePe32());
  ScopedEnv epoch("SOURCE_DATE_EPOCH", kEpoch);
  struct Step {
    const char *command;
    std::vector<std::string> args;  // OUT stands for the run's own output folder
    const char *output;             // a file the step writes, in OUT, or nullptr
  };
  std::vector<Step> steps = {
      {"pack", {"pack", "--output", "OUT/A.ARJ"}, "A.ARJ"},
      {"build",
       {"build", "--stub", dir_ + "/stub.exe", "--tree", dir_ + "/tree", "--output",
        "OUT/setup.exe"},
       "setup.exe"},
      {"test", {"test", "OUT/A.ARJ"}, nullptr},
      {"extract", {"extract", "OUT/A.ARJ", "OUT/x"}, "x/F5.TXT"},
      {"verify", {"verify", "OUT/setup.exe"}, nullptr},
  };
  steps[0].args.insert(steps[0].args.end(), files.begin(), files.end());
  const auto In = [&](std::vector<std::string> args, const std::string &out) {
    for (std::string &a : args)
      if (a.compare(0, 3, "OUT") == 0) a = out + a.substr(3);
    return args;
  };
  for (const Step &step : steps) {
    SCOPED_TRACE(step.command);
    const RunResult tty = kxtest::KxpackAtATerminal(In(step.args, dir_ + "/tty"));
    const RunResult pipe = Kxpack(In(step.args, dir_ + "/pipe"));
    const std::vector<std::string> quietArgs = [&] {
      std::vector<std::string> a = In(step.args, dir_ + "/pipe");
      a.insert(a.begin() + 1, "--quiet");
      return a;
    }();
    const RunResult quiet = kxtest::KxpackAtATerminal(quietArgs);
    EXPECT_EQ(tty.exitCode, 0) << tty.err;
    EXPECT_EQ(pipe.exitCode, 0) << pipe.err;
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
    const std::string line = std::string("\rkxpack ") + step.command + ": ";
    EXPECT_NE(tty.err.find(line), std::string::npos) << tty.err;
    EXPECT_NE(tty.err.find(" members, "), std::string::npos) << tty.err;
    EXPECT_NE(tty.err.find(" MiB/s, "), std::string::npos) << tty.err;
    EXPECT_NE(tty.err.find(" left"), std::string::npos) << tty.err;
    // Taken off the terminal at the end: the last thing written is a cleared line.
    const std::size_t last = tty.err.rfind('\r', tty.err.size() - 2);
    ASSERT_NE(last, std::string::npos) << tty.err;
    EXPECT_EQ(tty.err.back(), '\r') << tty.err;
    EXPECT_EQ(tty.err.find_first_not_of(' ', last + 1), tty.err.size() - 1) << tty.err;
    EXPECT_EQ(pipe.err, "");
    EXPECT_EQ(quiet.err, "");
    // The output names the files it wrote: the same but for their folder.
    std::string ttyOut = tty.out, pipeOut = pipe.out;
    for (std::string *o : {&ttyOut, &pipeOut})
      for (const std::string &folder : {dir_ + "/tty", dir_ + "/pipe"})
        for (std::size_t at; (at = o->find(folder)) != std::string::npos;)
          o->replace(at, folder.size(), "OUT");
    EXPECT_EQ(ttyOut, pipeOut);
    if (step.output) {
      const std::string made = ReadFile(dir_ + "/tty/" + step.output);
      EXPECT_FALSE(made.empty());
      EXPECT_TRUE(made == ReadFile(dir_ + "/pipe/" + step.output)) << step.output;
    }
  }
}

}  // namespace
