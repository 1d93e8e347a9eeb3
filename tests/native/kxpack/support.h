// Helpers for the kxpack tests: scratch folders, running programs, files, CRC-32, and the
// Debian arj archiver as a black box that makes the test archives.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/hand_archive.h"  // hand-made archives: the tests' one writer

namespace kxtest {

struct RunResult {
  int exitCode = -1;  // -1 when the program did not exit normally
  std::string out, err;
};

// Runs a program with arguments (no shell), optionally in another folder, capturing both
// output streams.
RunResult Run(const std::vector<std::string> &args, const std::string &cwd = "");
// Runs kxpack with the given arguments.
RunResult Kxpack(const std::vector<std::string> &args);
// Runs kxpack with stderr on a pseudo-terminal (what it writes there in err) and stdout to a
// file, as a user at a terminal who keeps the output.
RunResult KxpackAtATerminal(const std::vector<std::string> &args);

// A fresh, empty folder under the tree's test data folder, named after the running test.
std::string FreshFolder();

void WriteFile(const std::string &path, const std::string &data);
std::string ReadFile(const std::string &path);  // empty when it cannot be read
bool Exists(const std::string &path);
std::vector<std::string> ListFolder(const std::string &dir);  // file names, sorted

std::uint32_t Crc32(const std::string &data);
void PutLe16(std::string *s, std::size_t at, std::uint32_t v);
void PutLe32(std::string *s, std::size_t at, std::uint32_t v);
std::uint32_t GetLe16(const std::string &s, std::size_t at);
std::uint32_t GetLe32(const std::string &s, std::size_t at);

// Text that compresses well and differs with the seed, and bytes that do not compress.
std::string TextContent(unsigned seed, std::size_t size);
std::string NoiseContent(unsigned seed, std::size_t size);

// Makes an archive with the arj archiver from files in dir (names relative to dir), with the
// given method (0 to 4) and no paths stored. Fails the current test when arj fails.
void MakeArj(const std::string &dir, const std::string &archive,
             const std::vector<std::string> &files, int method);

// Where the headers of an archive made without leading bytes lie: the main header's offset,
// then per member the offset of its header and of its data, from a plain walk.
struct MemberSpan {
  std::size_t header = 0, data = 0, packed = 0;
};
std::vector<MemberSpan> MemberSpans(const std::string &archive);

// The payload of a built image, cut out where its stamp says (offset at 0x20, length at 0x24).
std::string PayloadOf(const std::string &image);

// A refused command exits 1 with a one-line reason and leaves outFolder empty: no output or
// temporary file.
void ExpectRefused(const RunResult &r, const std::string &reason, const std::string &outFolder);
// A command line refused as wrong exits 2 with the reason and where to find the usage, and
// leaves outFolder empty.
void ExpectUsageError(const RunResult &r, const std::string &reason,
                      const std::string &outFolder = "");

// Splits output into lines and each line into whitespace-separated words.
std::vector<std::vector<std::string>> Words(const std::string &text);

}  // namespace kxtest
